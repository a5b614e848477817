#pragma once
// Lossless page images as PDF stores them: rows deflated with zlib after
// PNG's row filters (a PDF reader undoes them for /Predictor 15), which is
// what a PNG file holds and makes screenshots and black-and-white pages a
// fraction of their raw size.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace scan {

// `height` rows of `rowBytes` bytes each (`pixelBytes` per pixel, at least
// 1, as PNG counts for the filters), each row given a filter byte, deflated.
std::vector<std::uint8_t> DeflateRows(const std::uint8_t* rows, int height, std::size_t rowBytes,
                                      int pixelBytes);
// The rows back; nullopt when the data is damaged or not that size.
std::optional<std::vector<std::uint8_t>> InflateRows(const std::vector<std::uint8_t>& data,
                                                     int height, std::size_t rowBytes,
                                                     int pixelBytes);

} // namespace scan
