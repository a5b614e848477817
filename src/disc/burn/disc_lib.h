#pragma once
// The pieces of the disc system that libisofs and libburn share: the image of
// a layout as a stream of blocks, and a volume read back through any source
// of blocks (an image file, or a medium in a drive). Internal to
// src/disc/burn/.

#include "disc/disc.h"

#include <libisofs/libisofs.h>

#include <cstdint>
#include <memory>
#include <string>

namespace disc::burn {

// libisofs set up for the program (UTF-8 names, messages queued instead of
// printed); a holder tells whether that worked.
class IsoLibrary {
  public:
    IsoLibrary();
    ~IsoLibrary();
    IsoLibrary(const IsoLibrary&) = delete;
    IsoLibrary& operator=(const IsoLibrary&) = delete;
    bool ok() const { return ok_; }

  private:
    bool ok_ = false;
};

// Owners of the library objects.
struct ImageUnref {
    void operator()(IsoImage* image) const { iso_image_unref(image); }
};
using ImagePtr = std::unique_ptr<IsoImage, ImageUnref>;

// A running image generator (libisofs's burn_source, the data source of a
// libburn track): cancelled when it has not been read to its end, then
// released. libburn declares the same struct in a namespace of its own.
class ImageStream {
  public:
    ImageStream() = default;
    ImageStream(ImagePtr image, burn_source* source);
    ~ImageStream();
    ImageStream(ImageStream&& other) noexcept;
    ImageStream& operator=(ImageStream&& other) noexcept;

    explicit operator bool() const { return source_ != nullptr; }
    std::uint64_t size() const;
    // Reads the next `size` bytes (a multiple of the block): the count read,
    // 0 at the end, -1 on failure.
    int read(unsigned char* buffer, int size);
    burn_source* source() const { return source_; }
    IsoImage* image() const { return image_.get(); }
    void cancel();

  private:
    ImagePtr image_;
    burn_source* source_ = nullptr;
};

// Builds the image of the layout: ISO 9660 level 3 with Rock Ridge and Joliet,
// the volume name in both descriptors. `sizeOnly` prepares a generator that is
// only asked for its size. An empty stream with `error` set on failure.
ImageStream StartImage(const DiscLayout& layout, bool sizeOnly, std::string& error);

// Messages that libisofs and libburn queued at severity SORRY or worse since
// the last call, one per line ("" when none).
std::string TakeIsoMessages();
std::string TakeBurnMessages();

// A volume read back through a block source (the volume takes its own
// reference to it).
std::unique_ptr<DiscVolume> OpenVolume(IsoDataSource* source, std::string& error);

} // namespace disc::burn
