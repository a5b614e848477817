#include "scan/jpeg.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace scan {
namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr info) {
    auto* err = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, err->message);
    std::longjmp(err->jump, 1);
}

void OnMessage(j_common_ptr info, int level) {
    // Warnings (level -1) are counted by libjpeg in num_warnings; nothing printed.
    if (level < 0)
        ++info->err->num_warnings;
}

std::uint16_t Be16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

} // namespace

std::optional<JpegInfo> ReadJpegInfo(const std::vector<std::uint8_t>& b) {
    if (b.size() < 4 || b[0] != 0xFF || b[1] != 0xD8)
        return std::nullopt;
    JpegInfo info;
    std::size_t i = 2;
    while (i + 4 <= b.size()) {
        if (b[i] != 0xFF)
            return std::nullopt;
        const std::uint8_t marker = b[i + 1];
        if (marker == 0xFF) { // fill byte
            ++i;
            continue;
        }
        if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            i += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA)
            return std::nullopt; // end or scan before any frame header
        const std::size_t len = Be16(&b[i + 2]);
        if (len < 2 || i + 2 + len > b.size())
            return std::nullopt;
        const std::uint8_t* seg = &b[i + 4];
        if (marker == 0xE0 && len >= 16 && std::equal(seg, seg + 5, "JFIF")) {
            const int units = seg[7];
            const double x = Be16(seg + 8), y = Be16(seg + 10);
            if (units == 1) {
                info.dpiX = x;
                info.dpiY = y;
            } else if (units == 2) {
                info.dpiX = x * 2.54;
                info.dpiY = y * 2.54;
            }
        } else if (marker == 0xEE && len >= 7 && std::equal(seg, seg + 5, "Adobe")) {
            info.adobe = true;
        } else if ((marker >= 0xC0 && marker <= 0xCF) && marker != 0xC4 && marker != 0xC8 &&
                   marker != 0xCC) {
            if (len < 8)
                return std::nullopt;
            info.bitsPerComponent = seg[0];
            info.height = Be16(seg + 1);
            info.width = Be16(seg + 3);
            info.components = seg[5];
            if (info.width <= 0 || info.height <= 0 ||
                (info.components != 1 && info.components != 3 && info.components != 4))
                return std::nullopt;
            return info;
        }
        i += 2 + len;
    }
    return std::nullopt;
}

std::optional<Raster> DecodeJpeg(const std::vector<std::uint8_t>& bytes, int reduce,
                                 std::string* error) {
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnError;
    err.pub.emit_message = OnMessage;
    Raster out;
    if (setjmp(err.jump)) {
        if (error)
            *error = err.message;
        jpeg_destroy_decompress(&cinfo);
        return std::nullopt;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = cinfo.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK) {
        jpeg_destroy_decompress(&cinfo);
        if (error)
            *error = "CMYK";
        return std::nullopt;
    }
    if (static_cast<std::uint64_t>(cinfo.image_width) * cinfo.image_height > kMaxPixels) {
        jpeg_destroy_decompress(&cinfo);
        if (error)
            *error = "图片过大";
        return std::nullopt;
    }
    cinfo.scale_num = 1;
    cinfo.scale_denom =
        static_cast<unsigned>(reduce == 2 || reduce == 4 || reduce == 8 ? reduce : 1);
    jpeg_start_decompress(&cinfo);
    out = MakeRaster(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height),
                     cinfo.output_components);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out.row(static_cast<int>(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    const long warnings = err.pub.num_warnings;
    jpeg_destroy_decompress(&cinfo);
    if (warnings > 0) {
        if (error)
            *error = "damaged";
        return std::nullopt;
    }
    return out;
}

std::vector<std::uint8_t> EncodeJpeg(const Raster& raster, int quality, double dpi) {
    jpeg_compress_struct cinfo{};
    ErrorManager err{};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnError;
    err.pub.emit_message = OnMessage;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    std::vector<std::uint8_t> result;
    if (setjmp(err.jump)) {
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
        cinfo.X_density = cinfo.Y_density = static_cast<UINT16>(std::lround(dpi));
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
