// The fax-coded strips of bilevel TIFF files with libtiff, in the module
// quillor-tiff (scan/image_formats.cpp calls it through
// platform/program_module.h). A scanner's black-and-white page is usually one
// strip of CCITT group 4 data, which a PDF holds as it is (CCITTFaxDecode):
// no decoding, no growth. libtiff reads from memory and says nothing.

#include "platform/program_module.h"
#include "scan/image_formats.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

namespace scan::tiff {
namespace {

struct Memory {
    const std::uint8_t* data;
    toff_t size;
    toff_t at = 0;
};

tsize_t Read(thandle_t h, tdata_t buffer, tsize_t n) {
    auto* m = static_cast<Memory*>(h);
    const toff_t left = m->at < m->size ? m->size - m->at : 0;
    const toff_t take = std::min<toff_t>(left, static_cast<toff_t>(std::max<tsize_t>(n, 0)));
    std::memcpy(buffer, m->data + m->at, take);
    m->at += take;
    return static_cast<tsize_t>(take);
}
tsize_t Write(thandle_t, tdata_t, tsize_t) {
    return -1;
}
toff_t Seek(thandle_t h, toff_t offset, int whence) {
    auto* m = static_cast<Memory*>(h);
    const toff_t base = whence == SEEK_CUR ? m->at : whence == SEEK_END ? m->size : 0;
    m->at = base + offset;
    return m->at;
}
int Close(thandle_t) {
    return 0;
}
toff_t Size(thandle_t h) {
    return static_cast<Memory*>(h)->size;
}
int Map(thandle_t, tdata_t*, toff_t*) {
    return 0;
}
void Unmap(thandle_t, tdata_t, toff_t) {}

struct TiffCloser {
    void operator()(TIFF* t) const { TIFFClose(t); }
};

std::uint8_t Reversed(std::uint8_t b) {
    b = static_cast<std::uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = static_cast<std::uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
    return static_cast<std::uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

// The current page when it is one group 4 strip covering the whole image,
// in one bit per pixel, upright, that PDF's decoder takes as it is.
struct G4Page {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint16_t photometric = 0;
    std::uint16_t fill = FILLORDER_MSB2LSB;
};

std::optional<G4Page> SingleG4Strip(TIFF* t) {
    std::uint32_t width = 0, height = 0;
    std::uint16_t compression = 0, bits = 0, samples = 1, photometric = 0, fill = FILLORDER_MSB2LSB,
                  orientation = ORIENTATION_TOPLEFT;
    std::uint32_t t6 = 0;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(t, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(t, TIFFTAG_FILLORDER, &fill);
    TIFFGetFieldDefaulted(t, TIFFTAG_ORIENTATION, &orientation);
    if (compression != COMPRESSION_CCITTFAX4 || bits != 1 || samples != 1 ||
        orientation != ORIENTATION_TOPLEFT || TIFFNumberOfStrips(t) != 1 || width == 0 ||
        height == 0 || width > 1'000'000 || height > 1'000'000 ||
        !TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric) ||
        (photometric != PHOTOMETRIC_MINISWHITE && photometric != PHOTOMETRIC_MINISBLACK))
        return std::nullopt;
    // Uncompressed runs inside the group 4 data are not in PDF's decoder.
    if (TIFFGetField(t, TIFFTAG_T6OPTIONS, &t6) && (t6 & GROUP4OPT_UNCOMPRESSED))
        return std::nullopt;
    // The strip must cover the whole image.
    std::uint32_t rowsPerStrip = height;
    TIFFGetFieldDefaulted(t, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    if (rowsPerStrip < height)
        return std::nullopt;
    return G4Page{width, height, photometric, fill};
}

// The page's resolution in dots per inch, where it declares one.
void ReadResolution(TIFF* t, scan::FaxStrip& out) {
    float xres = 0, yres = 0;
    std::uint16_t unit = RESUNIT_INCH;
    if (TIFFGetField(t, TIFFTAG_XRESOLUTION, &xres) && xres > 0) {
        if (!TIFFGetField(t, TIFFTAG_YRESOLUTION, &yres) || yres <= 0)
            yres = xres;
        TIFFGetFieldDefaulted(t, TIFFTAG_RESOLUTIONUNIT, &unit);
        const double perInch = unit == RESUNIT_CENTIMETER ? 2.54 : unit == RESUNIT_INCH ? 1 : 0;
        out.dpiX = xres * perInch;
        out.dpiY = yres * perInch;
    }
}

} // namespace
} // namespace scan::tiff

using namespace scan::tiff;

extern "C" QUILLOR_MODULE_EXPORT bool
quillor_tiff_fax_strip(const std::uint8_t* data, std::size_t size, int page, scan::FaxStrip* out) {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    Memory memory{data, static_cast<toff_t>(size)};
    std::unique_ptr<TIFF, TiffCloser> tiff(
        TIFFClientOpen("image", "rm", &memory, Read, Write, Seek, Close, Size, Map, Unmap));
    if (!tiff || page < 0 || !TIFFSetDirectory(tiff.get(), static_cast<tdir_t>(page)))
        return false;
    TIFF* t = tiff.get();
    const std::optional<G4Page> g4 = SingleG4Strip(t);
    if (!g4)
        return false;
    toff_t* counts = nullptr;
    if (!TIFFGetField(t, TIFFTAG_STRIPBYTECOUNTS, &counts) || !counts || counts[0] == 0 ||
        counts[0] > size)
        return false;
    out->data.resize(static_cast<std::size_t>(counts[0]));
    const tmsize_t got = TIFFReadRawStrip(t, 0, out->data.data(), static_cast<tmsize_t>(counts[0]));
    if (got <= 0)
        return false;
    out->data.resize(static_cast<std::size_t>(got));
    // FillOrder 2: the least significant bit first in each byte.
    if (g4->fill == FILLORDER_LSB2MSB)
        for (std::uint8_t& b : out->data)
            b = Reversed(b);
    out->width = static_cast<int>(g4->width);
    out->height = static_cast<int>(g4->height);
    out->minIsBlack = g4->photometric == PHOTOMETRIC_MINISBLACK;
    ReadResolution(t, *out);
    return true;
}
