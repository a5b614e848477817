#pragma once
// The encodings of a page for the three output qualities: what "完成" embeds
// in the PDF, chosen so that a page never takes more than its preset needs
// and a file already within the preset goes in byte for byte.

#include "scan/page_source.h"

#include <memory>

namespace scan {

// 清晰 / 标准 / 小巧: resolution and JPEG quality of the pages the program
// encodes. A page is never enlarged: a 150-dpi scan stays at 150 dpi.
enum class Quality { Clear = 0, Standard = 1, Small = 2 };
inline constexpr int kQualityCount = 3;
struct QualityPreset {
    const char* name;
    int dpi;
    int jpegQuality;
};
const QualityPreset& Preset(Quality q);

// Pixels at resolution `dpi` encoded for a preset: reduced to its resolution
// where they have more (area averaging), then JPEG at its quality for colour
// and grey, or one bit a pixel (deflated, thresholded against the paper after
// the reduction in grey, so thin strokes survive) for black and white.
std::shared_ptr<const PdfImage> EncodePixels(const Raster& pixels, Resolution dpi, ColourMode mode,
                                             const QualityPreset& preset);

// A page's source encoded for a preset:
// - a bilevel file image stays one bit a pixel at its own resolution (a
//   fax-coded strip passed through);
// - an image whose resolution on its page is above the preset's is decoded
//   at the smallest scale that still has the preset's pixels, reduced and
//   encoded at the preset's quality;
// - otherwise the source's own coding goes in as it is unless it is more than
//   1.5 times what the preset writes for it (a JPEG whose tables are not
//   finer than the preset's is known not to be, without encoding it); a
//   lossless image without its own coding is kept lossless on the same terms.
// `scanned`: a scanned page keeps its size (only files are fitted to A4).
// Null with `failure` set when the source cannot be decoded. A caller that
// holds the source's pixels at full size already hands them in as `decoded`.
std::shared_ptr<const PdfImage> EncodePage(const PageSource& source, ColourMode mode, bool scanned,
                                           Quality q, DecodeFailure* failure = nullptr,
                                           const Raster* decoded = nullptr);

// The resolution of a page made from `source`.
Resolution PageDpi(const SourceInfo& info, bool scanned);

} // namespace scan
