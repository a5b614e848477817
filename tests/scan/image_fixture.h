#pragma once
// Image files made by the tests themselves: JPEGs with what phones and
// other programs put in them (an EXIF orientation, a resolution per
// centimetre, arithmetic coding, stray bytes before a marker), pictures with
// a marked corner to see where it lands, and a bilevel TIFF coded as a fax
// (CCITT group 4) with libtiff.

#include "scan/raster.h"

#include <tiffio.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace scan_test {

struct JpegOptions {
    int quality = 80;
    int densityUnit = 1; // 0 none, 1 per inch, 2 per centimetre
    int density = 100;
    bool arithmetic = false;
    bool progressive = false;
    int orientation = 0;     // 0: no EXIF block
    bool strayBytes = false; // bytes before a marker (libjpeg warns, every viewer opens it)
};

// The EXIF block of one IFD entry: the orientation.
inline std::string ExifOrientation(int orientation) {
    std::string e("Exif\0\0II*\0\x08\0\0\0\x01\0", 16);
    e += std::string("\x12\x01\x03\0\x01\0\0\0", 8);
    e += static_cast<char>(orientation);
    e += std::string("\0\0\0\0\0\0\0", 7);
    return e;
}

inline std::vector<std::uint8_t> MakeJpeg(const scan::Raster& r, const JpegOptions& o = {}) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = static_cast<JDIMENSION>(r.width);
    c.image_height = static_cast<JDIMENSION>(r.height);
    c.input_components = r.channels;
    c.in_color_space = r.channels == 1 ? JCS_GRAYSCALE : r.channels == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, o.quality, TRUE);
    c.arith_code = o.arithmetic;
    if (o.progressive)
        jpeg_simple_progression(&c);
    c.density_unit = static_cast<UINT8>(o.densityUnit);
    c.X_density = c.Y_density = static_cast<UINT16>(o.density);
    jpeg_start_compress(&c, TRUE);
    if (o.orientation) {
        const std::string exif = ExifOrientation(o.orientation);
        jpeg_write_marker(&c, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(exif.data()),
                          static_cast<unsigned>(exif.size()));
    }
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<std::uint8_t*>(r.row(static_cast<int>(c.next_scanline)));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<std::uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&c);
    std::free(buffer);
    if (o.strayBytes) // three bytes before the first quantisation table
        for (std::size_t i = 2; i + 1 < out.size(); ++i)
            if (out[i] == 0xFF && out[i + 1] == 0xDB) {
                out.insert(out.begin() + static_cast<long>(i), {0x00, 0x12, 0x34});
                break;
            }
    return out;
}

// White with a red square in the top-left corner as the picture is meant to
// be seen, stored as a file with `orientation` stores it (so that only
// honouring the orientation shows the square top-left again).
inline scan::Raster MarkedCorner(int width, int height, int orientation = 1, int channels = 3) {
    scan::Raster up = scan::MakeRaster(width, height, channels);
    const int mark = std::min(width, height) / 4;
    for (int y = 0; y < mark; ++y)
        for (int x = 0; x < mark; ++x) {
            std::uint8_t* p = up.row(y) + static_cast<std::size_t>(x) * channels;
            p[0] = channels == 3 ? 220 : 0;
            if (channels == 3)
                p[1] = p[2] = 0;
        }
    const int inverse[9] = {1, 1, 2, 3, 4, 5, 8, 7, 6};
    return scan::Orient(up, inverse[std::clamp(orientation, 1, 8)]);
}

// The picture as an Adobe program stores CMYK: inverted (255 is no ink),
// here with no black ink, so that C M Y are R G B.
inline scan::Raster AdobeCmyk(const scan::Raster& rgb) {
    scan::Raster out = scan::MakeRaster(rgb.width, rgb.height, 4);
    for (std::size_t i = 0, o = 0; i < rgb.pixels.size(); i += 3, o += 4) {
        std::copy(rgb.pixels.begin() + static_cast<long>(i),
                  rgb.pixels.begin() + static_cast<long>(i) + 3,
                  out.pixels.begin() + static_cast<long>(o));
        out.pixels[o + 3] = 255;
    }
    return out;
}

// A bilevel TIFF of one strip coded as a fax (CCITT group 4), with a black
// square in its top-left corner; `minIsBlack` and `lsbFirst` as scanners
// sometimes write them.
inline std::string FaxTiff(const std::string& path, int width, int height, int dpi,
                           bool minIsBlack = false, bool lsbFirst = false) {
    TIFF* t = TIFFOpen(path.c_str(), "w");
    if (!t)
        return {};
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC,
                 minIsBlack ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_MINISWHITE);
    TIFFSetField(t, TIFFTAG_FILLORDER, lsbFirst ? FILLORDER_LSB2MSB : FILLORDER_MSB2LSB);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, height);
    TIFFSetField(t, TIFFTAG_XRESOLUTION, static_cast<float>(dpi));
    TIFFSetField(t, TIFFTAG_YRESOLUTION, static_cast<float>(dpi));
    TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    std::vector<std::uint8_t> row(static_cast<std::size_t>((width + 7) / 8));
    const int mark = std::min(width, height) / 4;
    for (int y = 0; y < height; ++y) {
        std::fill(row.begin(), row.end(), 0);
        if (y < mark || (y > height / 2 && y < height / 2 + 3)) // the square, and a line
            for (int x = 0; x < (y < mark ? mark : width); ++x)
                row[static_cast<std::size_t>(x >> 3)] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
        if (minIsBlack) // 1 = white here
            for (auto& b : row)
                b = static_cast<std::uint8_t>(~b);
        TIFFWriteScanline(t, row.data(), static_cast<std::uint32_t>(y), 0);
    }
    TIFFClose(t);
    return path;
}

} // namespace scan_test
