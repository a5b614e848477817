#pragma once
// Pages from image files: JPEG through libjpeg, HEIC/HEIF through libheif,
// PNG, TIFF (all its pages), BMP, GIF and WebP through Qt's image readers.
// The file is read by the program itself (a regular file only, so a pipe or
// a device can never hang the window) and recognised by its content; the
// readers only ever see its bytes in memory. Every image is flattened onto
// white, held as scan/page_source.h decides, and refused with a Chinese
// sentence when it cannot be read.

#include "scan/pages.h"

#include <QImage>

#include <string>
#include <vector>

namespace scan::ui {

// A page and its preview (about kPreviewSide pixels, as it will be written).
struct LoadedPage {
    Page page;
    Raster preview;
};

// The pages of one file; empty with `error` set when it cannot be read. A
// picture Qt decodes whole is encoded for `first` from those pixels at once.
std::vector<LoadedPage> LoadImageFile(const std::string& path, std::string& error,
                                      Quality first = Quality::Standard);

// A preview as a Qt image.
QImage ToQImage(const Raster& raster);

// Pixels of a Qt image as the core takes them: grey or RGB, transparency
// flattened onto white; `mode` says which (black and white for 1-bit images).
Raster ToRaster(QImage image, ColourMode& mode);

} // namespace scan::ui
