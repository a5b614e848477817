#pragma once
// The lines a scanner sends, turned into the page's pixels as they arrive:
// each complete line is converted (16 bits to 8, one bit to grey) straight
// into the page, so that a page is held once, never as the scanner's bytes
// and the pixels side by side.
//
// A scanner backend is trusted no further than the page it was asked for: a
// line shorter than the width and depth need is refused before anything is
// read, and a page of unknown length (or one that never ends) is cut at the
// largest page the chosen area allows.

#include "platform/scanner.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct ScanFormat {
    int pixelsPerLine = 0;
    int bytesPerLine = 0;
    int depth = 8;    // 1, 8 or 16 bits a sample
    int channels = 1; // 1 grey, 3 RGB (interleaved)
    int lines = -1;   // -1: not known before the end
};

class ScanLines {
  public:
    // Nullopt with `problem` (a sentence for the applicant) when the format
    // cannot be taken: an unknown depth, lines too short for their pixels,
    // more pixels a line than `maxPixelsPerLine`, or a page beyond the
    // memory limit. `maxLines`: the most lines the chosen area allows.
    static std::optional<ScanLines> Start(const ScanFormat& format, int maxPixelsPerLine,
                                          int maxLines, std::string* problem);
    // The next bytes from the scanner; false once the page is full (the rest
    // is not wanted: the caller ends the scan).
    bool add(const std::uint8_t* data, std::size_t size);
    int lines() const { return lines_; }
    bool full() const { return lines_ >= maxLines_; }
    // The page (complete lines only).
    ScannedPage take(double dpi);

  private:
    ScanLines() = default;
    void convert(const std::uint8_t* line);

    ScanFormat format_;
    int maxLines_ = 0;
    int lines_ = 0;
    std::size_t rowBytes_ = 0;        // of a converted line
    std::vector<std::uint8_t> carry_; // a line begun in one read, ended in the next
    std::vector<std::uint8_t> pixels_;
};

} // namespace platform
