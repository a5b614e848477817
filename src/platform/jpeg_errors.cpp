#include "platform/jpeg_errors.h"

#include "platform/image_limits.h"

#include <jerror.h>

#include <vector>

namespace platform {
namespace {

void OnError(j_common_ptr info) {
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    errors->code = info->err->msg_code;
    errors->tooLarge = errors->code == JERR_OUT_OF_MEMORY || errors->code == JERR_NO_BACKING_STORE;
    std::longjmp(errors->jump, 1);
}

void OnMessage(j_common_ptr info, int level) {
    if (level >= 0) // trace messages
        return;
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    ++info->err->num_warnings;
    if (!IsJpegDamageWarning(info->err->msg_code))
        return;
    // Damage: no use decoding on.
    errors->code = info->err->msg_code;
    errors->damaged = true;
    std::longjmp(errors->jump, 1);
}

} // namespace

bool IsJpegDamageWarning(int code) {
    switch (code) {
    case JWRN_JPEG_EOF:       // "Premature end of JPEG file"
    case JWRN_HIT_MARKER:     // "premature end of data segment"
    case JWRN_HUFF_BAD_CODE:  // "bad Huffman code"
    case JWRN_ARITH_BAD_CODE: // "bad arithmetic code"
    case JWRN_MUST_RESYNC:    // a restart marker missing: data skipped
    case JWRN_NOT_SEQUENTIAL: // scan parameters that cannot be decoded
        return true;
    default: // extraneous bytes before a marker, unknown JFIF or Adobe versions, ...
        return false;
    }
}

jpeg_error_mgr* UseJpegErrors(JpegErrors& errors) {
    jpeg_std_error(&errors.pub);
    errors.pub.error_exit = OnError;
    errors.pub.emit_message = OnMessage;
    return &errors.pub;
}

void LimitJpegMemory(j_common_ptr info) {
    info->mem->max_memory_to_use = static_cast<long>(kMaxImageBytes);
}

JpegVerdict CheckJpegData(const unsigned char* data, std::size_t size) {
    if (size < 3 || data[0] != 0xFF || data[1] != 0xD8 || data[2] != 0xFF)
        return JpegVerdict::NotJpeg;
    jpeg_decompress_struct cinfo{};
    JpegErrors errors;
    cinfo.err = UseJpegErrors(errors);
    std::vector<JSAMPLE> row;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return errors.tooLarge ? JpegVerdict::TooLarge : JpegVerdict::Damaged;
    }
    jpeg_create_decompress(&cinfo);
    LimitJpegMemory(reinterpret_cast<j_common_ptr>(&cinfo));
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    if (static_cast<std::uint64_t>(cinfo.image_width) * cinfo.image_height > kMaxImagePixels) {
        jpeg_destroy_decompress(&cinfo);
        return JpegVerdict::TooLarge;
    }
    cinfo.scale_num = 1;
    cinfo.scale_denom = 8;
    cinfo.dct_method = JDCT_IFAST;
    cinfo.do_fancy_upsampling = FALSE;
    jpeg_start_decompress(&cinfo);
    row.resize(static_cast<std::size_t>(cinfo.output_width) * cinfo.output_components);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_read_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return JpegVerdict::Good;
}

} // namespace platform
