// A scanner's lines into a page: conversion as they arrive, and what a
// backend is not believed (short lines, pages without end).

#include "platform/scan_lines.h"

#include <gtest/gtest.h>

using platform::ScanFormat;
using platform::ScanLines;

TEST(ScanLinesTest, LinesAreConvertedAsTheyArriveInAnyPieces) {
    struct Case {
        const char* what;
        ScanFormat format;
        std::vector<std::uint8_t> line; // one line as the scanner sends it
        std::vector<std::uint8_t> pixels;
    };
    const Case cases[] = {
        {"8-bit grey with padding", {3, 4, 8, 1, 2}, {10, 20, 30, 99}, {10, 20, 30}},
        {"16-bit RGB", {1, 6, 16, 3, 2}, {0x00, 0x12, 0x00, 0x34, 0xFF, 0xFF}, {0x12, 0x34, 0xFF}},
        {"lineart, 1 = black",
         {10, 2, 1, 1, 2},
         {0xA0, 0x40},
         {0, 255, 0, 255, 255, 255, 255, 255, 255, 0}},
    };
    for (const Case& c : cases)
        for (std::size_t piece : {1u, 3u, 64u}) {
            SCOPED_TRACE(std::string(c.what) + " in pieces of " + std::to_string(piece));
            std::string problem;
            std::optional<ScanLines> lines = ScanLines::Start(c.format, 100, 100, &problem);
            ASSERT_TRUE(lines) << problem;
            std::vector<std::uint8_t> stream = c.line;
            stream.insert(stream.end(), c.line.begin(), c.line.end());
            for (std::size_t at = 0; at < stream.size(); at += piece)
                lines->add(stream.data() + at, std::min(piece, stream.size() - at));
            const platform::ScannedPage page = lines->take(150);
            ASSERT_EQ(page.height, 2);
            std::vector<std::uint8_t> twice = c.pixels;
            twice.insert(twice.end(), c.pixels.begin(), c.pixels.end());
            EXPECT_EQ(page.pixels, twice);
        }
}

TEST(ScanLinesTest, ABackendIsNotBelievedBeyondThePageAsked) {
    std::string problem;
    // Fewer bytes a line than 1000 RGB pixels need: refused before reading.
    EXPECT_FALSE(ScanLines::Start({1000, 2999, 8, 3, -1}, 2000, 2000, &problem));
    EXPECT_NE(problem.find("每行的字节数"), std::string::npos);
    EXPECT_FALSE(
        ScanLines::Start({5000, 5000, 8, 1, -1}, 2000, 2000, &problem)); // wider than the area
    EXPECT_FALSE(ScanLines::Start({100, 100, 12, 1, -1}, 2000, 2000, &problem)); // no such depth
    EXPECT_FALSE(ScanLines::Start({60000, 180000, 8, 3, -1}, 60000, 60000, &problem));
    EXPECT_NE(problem.find("过大"), std::string::npos);
    // A page of unknown length that never ends stops at the area's length.
    std::optional<ScanLines> endless = ScanLines::Start({100, 100, 8, 1, -1}, 200, 50, &problem);
    ASSERT_TRUE(endless);
    const std::vector<std::uint8_t> chunk(1000, 128);
    int reads = 0;
    while (endless->add(chunk.data(), chunk.size()) && reads < 1000)
        ++reads;
    EXPECT_TRUE(endless->full());
    EXPECT_EQ(endless->take(100).height, 50);
    // A declared length larger than the area is not believed either.
    std::optional<ScanLines> tall = ScanLines::Start({100, 100, 8, 1, 100000}, 200, 50, &problem);
    ASSERT_TRUE(tall);
    while (tall->add(chunk.data(), chunk.size())) {
    }
    EXPECT_EQ(tall->take(100).height, 50);
}
