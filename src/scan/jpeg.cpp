#include "scan/jpeg.h"

#include "platform/image_limits.h"
#include "platform/jpeg_errors.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace scan {
namespace {

using platform::JpegErrors;

// libjpeg's standard luminance table (natural order), which jpeg_set_quality
// scales: the quality of a table is read back from the scale.
constexpr unsigned kStandardLuminance[64] = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};

int TableQuality(const JQUANT_TBL* table) {
    if (!table)
        return 0;
    double sum = 0;
    for (int i = 0; i < 64; ++i)
        sum += table->quantval[i] * 100.0 / kStandardLuminance[i];
    const double scale = sum / 64;
    const double quality = scale <= 100 ? (200 - scale) / 2 : 5000 / scale;
    return std::clamp(static_cast<int>(std::lround(quality)), 1, 100);
}

// The few fields of an EXIF block the program uses: the orientation and the
// resolution of IFD0. Every offset is checked against the block.
struct Exif {
    int orientation = 1;
    double dpiX = 0, dpiY = 0;
};

Exif ReadExif(const std::uint8_t* p, std::size_t n) {
    Exif exif;
    if (n < 14 || std::memcmp(p, "Exif\0\0", 6) != 0)
        return exif;
    p += 6, n -= 6;
    const bool little = p[0] == 'I' && p[1] == 'I';
    if (!little && !(p[0] == 'M' && p[1] == 'M'))
        return exif;
    const auto u16 = [&](std::size_t at) -> unsigned {
        return little ? p[at] | p[at + 1] << 8 : p[at] << 8 | p[at + 1];
    };
    const auto u32 = [&](std::size_t at) -> std::uint32_t {
        return little ? std::uint32_t{p[at]} | std::uint32_t{p[at + 1]} << 8 |
                            std::uint32_t{p[at + 2]} << 16 | std::uint32_t{p[at + 3]} << 24
                      : std::uint32_t{p[at]} << 24 | std::uint32_t{p[at + 1]} << 16 |
                            std::uint32_t{p[at + 2]} << 8 | std::uint32_t{p[at + 3]};
    };
    if (u16(2) != 42)
        return exif;
    const std::size_t ifd = u32(4);
    if (ifd > n || n - ifd < 2)
        return exif;
    const unsigned entries = u16(ifd);
    double resX = 0, resY = 0;
    unsigned unit = 2; // inches unless said otherwise
    const auto rational = [&](std::size_t entry) -> double {
        const std::size_t at = u32(entry + 8);
        if (at > n || n - at < 8)
            return 0;
        const std::uint32_t den = u32(at + 4);
        return den ? static_cast<double>(u32(at)) / den : 0;
    };
    for (unsigned i = 0; i < entries; ++i) {
        const std::size_t e = ifd + 2 + std::size_t{i} * 12;
        if (e > n || n - e < 12)
            break;
        const unsigned tag = u16(e), type = u16(e + 2);
        if (tag == 0x0112 && type == 3) {
            const unsigned v = u16(e + 8);
            exif.orientation = v >= 1 && v <= 8 ? static_cast<int>(v) : 1;
        } else if (tag == 0x011A && type == 5) {
            resX = rational(e);
        } else if (tag == 0x011B && type == 5) {
            resY = rational(e);
        } else if (tag == 0x0128 && type == 3) {
            unit = u16(e + 8);
        }
    }
    const double perInch = unit == 2 ? 1.0 : unit == 3 ? 2.54 : 0.0;
    exif.dpiX = resX * perInch;
    exif.dpiY = (resY > 0 ? resY : resX) * perInch;
    return exif;
}

class Decompressor {
  public:
    Decompressor() {
        cinfo.err = platform::UseJpegErrors(errors);
        jpeg_create_decompress(&cinfo);
        platform::LimitJpegMemory(reinterpret_cast<j_common_ptr>(&cinfo));
    }
    ~Decompressor() { jpeg_destroy_decompress(&cinfo); }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    jpeg_decompress_struct cinfo{};
    JpegErrors errors;
};

void FillInfo(jpeg_decompress_struct& cinfo, JpegInfo& info) {
    info.width = static_cast<int>(cinfo.image_width);
    info.height = static_cast<int>(cinfo.image_height);
    info.components = cinfo.num_components;
    info.bitsPerComponent = cinfo.data_precision;
    info.adobe = cinfo.saw_Adobe_marker;
    info.arithmetic = cinfo.arith_code;
    info.progressive = cinfo.progressive_mode;
    info.quality = TableQuality(cinfo.quant_tbl_ptrs[0]);
    Exif exif;
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next)
        if (m->marker == JPEG_APP0 + 1) {
            exif = ReadExif(m->data, m->data_length);
            break;
        }
    info.orientation = exif.orientation;
    if (cinfo.saw_JFIF_marker && cinfo.density_unit == 1) {
        info.dpiX = cinfo.X_density;
        info.dpiY = cinfo.Y_density;
    } else if (cinfo.saw_JFIF_marker && cinfo.density_unit == 2) { // dots per centimetre
        info.dpiX = cinfo.X_density * 2.54;
        info.dpiY = cinfo.Y_density * 2.54;
    } else {
        info.dpiX = exif.dpiX;
        info.dpiY = exif.dpiY;
    }
}

// Bytes libjpeg keeps for the whole image when it decodes more than one
// scan (progressive and multi-scan files): every DCT coefficient.
std::uint64_t CoefficientBytes(const jpeg_decompress_struct& cinfo) {
    std::uint64_t bytes = 0;
    for (int c = 0; c < cinfo.num_components; ++c) {
        const jpeg_component_info& comp = cinfo.comp_info[c];
        bytes += std::uint64_t{comp.width_in_blocks + 1} * (comp.height_in_blocks + 1) * 64 *
                 sizeof(JCOEF);
    }
    return bytes;
}

void CmykToRgb(const JSAMPLE* in, std::uint8_t* out, int width, bool inverted) {
    for (int x = 0; x < width; ++x, in += 4, out += 3) {
        const int k = inverted ? in[3] : 255 - in[3];
        for (int c = 0; c < 3; ++c) {
            const int v = inverted ? in[c] : 255 - in[c];
            out[c] = static_cast<std::uint8_t>((v * k + 127) / 255);
        }
    }
}

} // namespace

std::optional<JpegInfo> ReadJpegInfo(const std::uint8_t* data, std::size_t size) {
    if (size < 3 || data[0] != 0xFF || data[1] != 0xD8 || data[2] != 0xFF)
        return std::nullopt;
    Decompressor d;
    JpegInfo info;
    if (setjmp(d.errors.jump))
        return std::nullopt;
    jpeg_save_markers(&d.cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_mem_src(&d.cinfo, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&d.cinfo, TRUE) != JPEG_HEADER_OK)
        return std::nullopt;
    FillInfo(d.cinfo, info);
    if (info.width <= 0 || info.height <= 0)
        return std::nullopt;
    return info;
}

namespace {

// The decoding itself; after a jump back only `d` is looked at.
// 1/2, 1/4 or 1/8 of the size where that still gives the pixels asked for:
// libjpeg scales by powers of two while it decodes, at a fraction of the cost
// (other fractions take slower transforms than a full decode).
int Reduction(const jpeg_decompress_struct& cinfo, const JpegDecoding& how) {
    int reduce = how.reduce == 2 || how.reduce == 4 || how.reduce == 8 ? how.reduce : 1;
    if (how.minWidth > 0 || how.minHeight > 0) {
        reduce = 1;
        for (int r : {8, 4, 2})
            if ((static_cast<int>(cinfo.image_width) + r - 1) / r >= how.minWidth &&
                (static_cast<int>(cinfo.image_height) + r - 1) / r >= how.minHeight) {
                reduce = r;
                break;
            }
    }
    return reduce;
}

// The declared size against the limit, before anything is allocated: the
// pixels kept, and every coefficient where libjpeg keeps them all. Nothing
// here owns memory, since a libjpeg error jumps back over it to Decode.
bool WithinLimits(jpeg_decompress_struct& cinfo, int channels) {
    std::uint64_t need =
        std::uint64_t{cinfo.output_width} * cinfo.output_height * static_cast<unsigned>(channels);
    if (jpeg_has_multiple_scans(&cinfo))
        need += CoefficientBytes(cinfo);
    return std::uint64_t{cinfo.image_width} * cinfo.image_height <= platform::kMaxImagePixels &&
           need <= platform::kMaxImageBytes;
}

DecodeFailure Decode(Decompressor& d, const std::uint8_t* data, std::size_t size,
                     const JpegDecoding& how, Raster& out) {
    jpeg_decompress_struct& cinfo = d.cinfo;
    std::vector<JSAMPLE> line;
    if (setjmp(d.errors.jump))
        return d.errors.tooLarge ? DecodeFailure::TooLarge : DecodeFailure::Damaged;
    if (how.orient)
        jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    if (cinfo.data_precision != 8)
        return DecodeFailure::Unsupported;
    int orientation = 1;
    if (how.orient) {
        JpegInfo info;
        FillInfo(cinfo, info);
        orientation = info.orientation;
    }
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : cinfo.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    const int reduce = Reduction(cinfo, how);
    cinfo.scale_num = 1;
    cinfo.scale_denom = static_cast<unsigned>(reduce);
    if (reduce > 1) {
        // Pixels that are to be reduced further or only looked at: the fast
        // transforms lose nothing the reduction keeps.
        cinfo.dct_method = JDCT_IFAST;
        cinfo.do_fancy_upsampling = FALSE;
    }
    jpeg_calc_output_dimensions(&cinfo);
    const int channels = cinfo.num_components == 1 && !cmyk ? 1 : 3;
    if (!WithinLimits(cinfo, channels))
        return DecodeFailure::TooLarge;
    jpeg_start_decompress(&cinfo);
    out = MakeRaster(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height),
                     channels);
    if (cmyk)
        line.resize(std::size_t{cinfo.output_width} * 4);
    while (cinfo.output_scanline < cinfo.output_height) {
        const int y = static_cast<int>(cinfo.output_scanline);
        JSAMPROW row = cmyk ? line.data() : out.row(y);
        jpeg_read_scanlines(&cinfo, &row, 1);
        if (cmyk)
            CmykToRgb(line.data(), out.row(y), out.width, cinfo.saw_Adobe_marker);
    }
    jpeg_finish_decompress(&cinfo);
    if (orientation != 1)
        out = Orient(out, orientation);
    return DecodeFailure::None;
}

} // namespace

std::optional<Raster> DecodeJpeg(const std::uint8_t* data, std::size_t size,
                                 const JpegDecoding& how, DecodeFailure* failure) {
    DecodeFailure why = DecodeFailure::NotAnImage;
    Raster out;
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) {
        Decompressor d;
        why = Decode(d, data, size, how, out);
    }
    if (failure)
        *failure = why;
    if (why != DecodeFailure::None)
        return std::nullopt;
    return out;
}

std::vector<std::uint8_t> EncodeJpeg(const Raster& raster, int quality, double dpi) {
    jpeg_compress_struct cinfo{};
    JpegErrors errors;
    cinfo.err = platform::UseJpegErrors(errors);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    std::vector<std::uint8_t> result;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::free(buffer);
        return {};
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(raster.width);
    cinfo.image_height = static_cast<JDIMENSION>(raster.height);
    cinfo.input_components = raster.channels;
    cinfo.in_color_space = raster.channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.optimize_coding = TRUE;
    if (dpi > 0) {
        cinfo.density_unit = 1;
        cinfo.X_density = cinfo.Y_density =
            static_cast<UINT16>(std::clamp<long>(std::lround(dpi), 1, 65535));
    }
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<std::uint8_t*>(raster.row(static_cast<int>(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    result.assign(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return result;
}

} // namespace scan
