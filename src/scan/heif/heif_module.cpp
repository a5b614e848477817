// HEIC/HEIF photos with libheif, in the module quillor-heif
// (scan/image_formats.cpp calls it through platform/program_module.h): the
// primary image, turned and cropped as the file says, as 8-bit RGB with any
// transparency flattened onto white. libheif's messages are never shown.

#include "platform/image_limits.h"
#include "platform/program_module.h"
#include "scan/image_formats.h"

#include <libheif/heif.h>

#include <memory>

namespace scan::heif {
namespace {

struct ContextDeleter {
    void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleDeleter {
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageDeleter {
    void operator()(heif_image* i) const { heif_image_release(i); }
};

using Context = std::unique_ptr<heif_context, ContextDeleter>;
using Handle = std::unique_ptr<heif_image_handle, HandleDeleter>;

Handle Primary(const Context& context, const std::uint8_t* data, std::size_t size) {
    if (heif_context_read_from_memory_without_copy(context.get(), data, size, nullptr).code !=
        heif_error_Ok)
        return nullptr;
    heif_image_handle* handle = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &handle).code != heif_error_Ok)
        return nullptr;
    return Handle(handle);
}

} // namespace
} // namespace scan::heif

using namespace scan::heif;

extern "C" QUILLOR_MODULE_EXPORT bool quillor_heif_size(const std::uint8_t* data, std::size_t size,
                                                        int* width, int* height) {
    Context context(heif_context_alloc());
    const Handle handle = Primary(context, data, size);
    if (!handle)
        return false;
    *width = heif_image_handle_get_width(handle.get());
    *height = heif_image_handle_get_height(handle.get());
    return *width > 0 && *height > 0;
}

extern "C" QUILLOR_MODULE_EXPORT bool quillor_heif_decode(const std::uint8_t* data,
                                                          std::size_t size, scan::HeifPicture* out,
                                                          bool* tooLarge) {
    *tooLarge = false;
    try {
        Context context(heif_context_alloc());
        const Handle handle = Primary(context, data, size);
        if (!handle)
            return false;
        const int w = heif_image_handle_get_width(handle.get());
        const int h = heif_image_handle_get_height(handle.get());
        if (!platform::ImageFitsMemory(static_cast<std::uint64_t>(w), static_cast<std::uint64_t>(h),
                                       4)) {
            *tooLarge = true;
            return false;
        }
        const bool alpha = heif_image_handle_has_alpha_channel(handle.get());
        heif_image* decoded = nullptr;
        if (heif_decode_image(handle.get(), &decoded, heif_colorspace_RGB,
                              alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                              nullptr)
                .code != heif_error_Ok)
            return false;
        const std::unique_ptr<heif_image, ImageDeleter> image(decoded);
        int stride = 0;
        const std::uint8_t* plane =
            heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
        const int iw = heif_image_get_width(image.get(), heif_channel_interleaved);
        const int ih = heif_image_get_height(image.get(), heif_channel_interleaved);
        if (!plane || iw <= 0 || ih <= 0)
            return false;
        scan::Raster& r = out->pixels;
        r.width = iw;
        r.height = ih;
        r.channels = 3;
        r.pixels.resize(r.stride() * static_cast<std::size_t>(ih));
        const int n = alpha ? 4 : 3;
        for (int y = 0; y < ih; ++y) {
            const std::uint8_t* in = plane + static_cast<std::size_t>(stride) * y;
            std::uint8_t* o = r.row(y);
            for (int x = 0; x < iw; ++x, in += n, o += 3)
                for (int c = 0; c < 3; ++c)
                    o[c] = alpha ? static_cast<std::uint8_t>(
                                       (in[c] * in[3] + 255 * (255 - in[3]) + 127) / 255)
                                 : in[c];
        }
        out->width = iw;
        out->height = ih;
        return true;
    } catch (const std::bad_alloc&) {
        *tooLarge = true;
        return false;
    }
}
