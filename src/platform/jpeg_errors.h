#pragma once
// libjpeg's errors and warnings, handled the same way by every JPEG decoder
// of the program: the package check, the scan window and "压缩...".
//
// libjpeg reports damage it can get past (data ending early, a marker where
// coded data should be, a bad Huffman code) as a warning and goes on with
// invented grey; it also warns about harmless oddities (a few stray bytes
// before a marker, an unknown JFIF revision) that every viewer ignores. The
// warnings are sorted by their code: damage refuses the file, the rest pass.

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <jpeglib.h>

namespace platform {

// Whether a libjpeg warning code means that image data was lost.
bool IsJpegDamageWarning(int code);

// libjpeg's error manager: an error, or a warning that means damage, jumps
// back to `jump` (set it with setjmp before calling libjpeg); `code` is
// libjpeg's message code, `tooLarge` tells that libjpeg needed more memory
// than the program's limit (platform/image_limits.h).
struct JpegErrors {
    jpeg_error_mgr pub{};
    std::jmp_buf jump{};
    int code = 0;
    bool damaged = false;
    bool tooLarge = false;
};

// Sets `errors` up and returns the manager to put into a libjpeg struct's
// `err` before jpeg_create_*.
jpeg_error_mgr* UseJpegErrors(JpegErrors& errors);

// After jpeg_create_*: libjpeg may take at most the program's limit for its
// own buffers (a progressive JPEG keeps all its coefficients); beyond it the
// decoding ends with `tooLarge` instead of allocating.
void LimitJpegMemory(j_common_ptr info);

enum class JpegVerdict { Good, Damaged, TooLarge, NotJpeg };

// Decodes the whole coded data at an eighth of its size (which libjpeg does
// at a fraction of the cost of a full decode, while still reading every
// coded bit), so that data ending early or corrupt data is found.
JpegVerdict CheckJpegData(const unsigned char* data, std::size_t size);

} // namespace platform
