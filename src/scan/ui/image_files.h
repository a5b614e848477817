#pragma once
// Pages from image files (JPEG, PNG, TIFF with all its pages, BMP) and the
// thumbnails of pages, through Qt's image readers.

#include "scan/pages.h"

#include <QImage>

#include <string>
#include <vector>

namespace scan::ui {

// The pages of one file; empty with `error` set when it cannot be read.
std::vector<Page> LoadImageFile(const std::string& path, std::string& error);

// A page's image at about `longSide` pixels on its long side (unturned).
QImage Thumbnail(const Page& page, int longSide);

// Pixels of a Qt image as the core takes them: grey or RGB.
Raster ToRaster(const QImage& image, ColourMode& mode);

} // namespace scan::ui
