// The image side of the disc system: building an ISO 9660 image with Joliet
// and Rock Ridge from a layout (libisofs), writing it into a sink, and reading
// an image or a medium back.

// The full declaration of struct burn_source, without libburn.h.
#define LIBISOFS_WITHOUT_LIBBURN
#include "disc/burn/disc_lib.h"

#include "platform/utf8.h"

#include <unicode/utf16.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

namespace disc::burn {
namespace {

char* Text(const char* literal) {
    return const_cast<char*>(literal); // the library's prototypes lack const
}

struct WriteOptsFree {
    void operator()(IsoWriteOpts* opts) const { iso_write_opts_free(opts); }
};
using WriteOptsPtr = std::unique_ptr<IsoWriteOpts, WriteOptsFree>;

struct ReadOptsFree {
    void operator()(IsoReadOpts* opts) const { iso_read_opts_free(opts); }
};
using ReadOptsPtr = std::unique_ptr<IsoReadOpts, ReadOptsFree>;

struct DirIterFree {
    void operator()(IsoDirIter* iter) const { iso_dir_iter_free(iter); }
};
using DirIterPtr = std::unique_ptr<IsoDirIter, DirIterFree>;

struct SourceUnref {
    void operator()(IsoDataSource* source) const { iso_data_source_unref(source); }
};
using SourcePtr = std::unique_ptr<IsoDataSource, SourceUnref>;

struct FeaturesFree {
    void operator()(IsoReadImageFeatures* f) const { iso_read_image_features_destroy(f); }
};
using FeaturesPtr = std::unique_ptr<IsoReadImageFeatures, FeaturesFree>;

std::string ErrorText(int code) {
    const char* text = iso_error_to_msg(code);
    return text ? text : "libisofs error " + std::to_string(code);
}

std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t slash; (slash = path.find('/', start)) != std::string::npos; start = slash + 1)
        parts.push_back(path.substr(start, slash - start));
    parts.push_back(path.substr(start));
    return parts;
}

bool AddLayout(IsoImage* image, const DiscLayout& layout, std::string& error) {
    std::map<std::string, IsoDir*> folders{{"", iso_image_get_root(image)}};
    for (const DiscFile& file : layout.files) {
        const std::vector<std::string> parts = SplitPath(file.discPath);
        std::string prefix;
        IsoDir* parent = folders[""];
        for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
            prefix += (prefix.empty() ? "" : "/") + parts[i];
            auto found = folders.find(prefix);
            if (found == folders.end()) {
                IsoDir* folder = nullptr;
                const int r = iso_image_add_new_dir(image, parent, parts[i].c_str(), &folder);
                if (r < 0) {
                    error = parts[i] + ": " + ErrorText(r);
                    return false;
                }
                found = folders.emplace(prefix, folder).first;
            }
            parent = found->second;
        }
        const std::string source = platform::PathToUtf8(file.source);
        IsoNode* node = nullptr;
        const int r =
            iso_tree_add_new_node(image, parent, parts.back().c_str(), source.c_str(), &node);
        if (r < 0) {
            error = file.discPath + ": " + ErrorText(r);
            return false;
        }
    }
    return true;
}

// ---- volume names from the descriptors ----

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0'))
        text.pop_back();
    return text;
}

std::string FromUcs2(const std::uint8_t* p, std::size_t bytes) {
    std::u32string text;
    for (std::size_t i = 0; i + 1 < bytes; i += 2) {
        char32_t unit = char32_t(p[i]) << 8 | p[i + 1];
        if (U16_IS_LEAD(unit) && i + 3 < bytes) {
            const char32_t low = char32_t(p[i + 2]) << 8 | p[i + 3];
            if (U16_IS_TRAIL(low)) {
                unit = U16_GET_SUPPLEMENTARY(unit, low);
                i += 2;
            }
        }
        text += unit;
    }
    return Trimmed(platform::ToUtf8(text));
}

struct VolumeNames {
    std::string primary;
    std::string joliet;
};

// The primary descriptor (type 1) and the Joliet one (type 2 with a UCS-2
// escape sequence) among the descriptors from block 16 on.
VolumeNames ReadVolumeNames(IsoDataSource* source) {
    VolumeNames names;
    if (source->open(source) < 0)
        return names;
    std::uint8_t block[kDiscBlock];
    for (std::uint32_t lba = 16; lba < 16 + 32; ++lba) {
        if (source->read_block(source, lba, block) < 0 || std::memcmp(block + 1, "CD001", 5) != 0)
            break;
        if (block[0] == 255)
            break;
        if (block[0] == 1)
            names.primary = Trimmed(std::string(reinterpret_cast<char*>(block + 40), 32));
        if (block[0] == 2 && block[88] == '%' && block[89] == '/' &&
            (block[90] == '@' || block[90] == 'C' || block[90] == 'E'))
            names.joliet = FromUcs2(block + 40, 32);
    }
    source->close(source);
    return names;
}

// ---- a volume read back ----

class IsoVolume final : public DiscVolume {
  public:
    IsoVolume(ImagePtr joliet, ImagePtr rockRidge, bool hasJoliet, bool hasRockRidge,
              VolumeNames names)
        : joliet_(std::move(joliet)), rockRidge_(std::move(rockRidge)), hasJoliet_(hasJoliet),
          hasRockRidge_(hasRockRidge), names_(std::move(names)) {}

    std::string jolietVolumeName() const override { return names_.joliet; }
    std::string primaryVolumeName() const override { return names_.primary; }

    std::vector<VolumeEntry> entries(NameTree tree) const override {
        std::vector<VolumeEntry> out;
        if (tree == NameTree::Joliet ? !hasJoliet_ : !hasRockRidge_)
            return out;
        IsoImage* image = tree == NameTree::Joliet ? joliet_.get() : rockRidge_.get();
        Walk(iso_image_get_root(image), "", out);
        return out;
    }

    bool read(const std::string& path,
              const std::function<bool(const char*, std::size_t)>& chunk) override {
        IsoNode* node = nullptr;
        const std::string absolute = "/" + path;
        if (!hasJoliet_ || iso_image_path_to_node(joliet_.get(), absolute.c_str(), &node) != 1 ||
            iso_node_get_type(node) != LIBISO_FILE)
            return false;
        IsoStream* stream = iso_file_get_stream(reinterpret_cast<IsoFile*>(node));
        if (!stream || iso_stream_open(stream) < 0)
            return false;
        std::vector<char> buffer(std::size_t{1} << 20);
        bool ok = true;
        for (;;) {
            const int n = iso_stream_read(stream, buffer.data(), buffer.size());
            if (n < 0) {
                ok = false;
                break;
            }
            if (n == 0 || !chunk(buffer.data(), std::size_t(n)))
                break;
        }
        iso_stream_close(stream);
        return ok;
    }

  private:
    static void Walk(IsoDir* folder, const std::string& prefix, std::vector<VolumeEntry>& out) {
        IsoDirIter* raw = nullptr;
        if (iso_dir_get_children(folder, &raw) != 1)
            return;
        DirIterPtr iter(raw);
        IsoNode* node = nullptr;
        while (iso_dir_iter_next(iter.get(), &node) == 1) {
            const char* name = iso_node_get_name(node);
            VolumeEntry entry;
            entry.path = prefix + (name ? name : "");
            if (iso_node_get_type(node) == LIBISO_DIR) {
                entry.folder = true;
                out.push_back(entry);
                Walk(reinterpret_cast<IsoDir*>(node), entry.path + "/", out);
            } else {
                if (iso_node_get_type(node) == LIBISO_FILE)
                    entry.size = std::uint64_t(iso_file_get_size(reinterpret_cast<IsoFile*>(node)));
                out.push_back(entry);
            }
        }
    }

    IsoLibrary library_;
    ImagePtr joliet_;
    ImagePtr rockRidge_;
    bool hasJoliet_;
    bool hasRockRidge_;
    VolumeNames names_;
};

// Imports the volume of the source with the names of one tree.
ImagePtr Import(IsoDataSource* source, bool joliet, bool& present, std::string& error) {
    IsoReadOpts* rawOpts = nullptr;
    if (iso_read_opts_new(&rawOpts, 0) < 0)
        return nullptr;
    ReadOptsPtr opts(rawOpts);
    iso_read_opts_set_input_charset(opts.get(), "UTF-8");
    if (joliet) {
        iso_read_opts_set_no_rockridge(opts.get(), 1);
        iso_read_opts_set_preferjoliet(opts.get(), 1);
    } else {
        iso_read_opts_set_no_joliet(opts.get(), 1);
    }
    IsoImage* rawImage = nullptr;
    if (iso_image_new(nullptr, &rawImage) < 0)
        return nullptr;
    ImagePtr image(rawImage);
    IsoReadImageFeatures* rawFeatures = nullptr;
    const int r = iso_image_import(image.get(), source, opts.get(), &rawFeatures);
    FeaturesPtr features(rawFeatures);
    if (r < 0) {
        error = ErrorText(r);
        return nullptr;
    }
    present = joliet ? iso_read_image_features_has_joliet(features.get()) != 0
                     : iso_read_image_features_has_rockridge(features.get()) != 0;
    return image;
}

} // namespace

// ---- the primary volume identifier ----

namespace {

// Where the primary descriptor's volume identifier lies in a new image:
// block 16, bytes 40 to 71.
constexpr std::uint64_t kVolumeIdOffset = 16 * kDiscBlock + 40;
constexpr std::size_t kVolumeIdBytes = 32;

// As libburn's burn_source_free: the last holder frees the source.
void ReleaseSource(burn_source* source) {
    if (--source->refcount < 1) {
        if (source->free_data)
            source->free_data(source);
        std::free(source);
    }
}

struct Patch {
    burn_source* inner;
    std::uint64_t offset = 0;
    char id[kVolumeIdBytes];
};

Patch* PatchOf(burn_source* source) {
    return static_cast<Patch*>(source->data);
}

int PatchedRead(burn_source* source, unsigned char* buffer, int size) {
    Patch* patch = PatchOf(source);
    burn_source* inner = patch->inner;
    const int n =
        inner->read_xt ? inner->read_xt(inner, buffer, size) : inner->read(inner, buffer, size);
    if (n <= 0)
        return n;
    const std::uint64_t begin = patch->offset, end = begin + std::uint64_t(n);
    for (std::uint64_t at = std::max(begin, kVolumeIdOffset);
         at < std::min(end, kVolumeIdOffset + kVolumeIdBytes); ++at)
        buffer[at - begin] = static_cast<unsigned char>(patch->id[at - kVolumeIdOffset]);
    patch->offset = end;
    return n;
}

off_t PatchedGetSize(burn_source* source) {
    burn_source* inner = PatchOf(source)->inner;
    return inner->get_size(inner);
}

int PatchedSetSize(burn_source* source, off_t size) {
    burn_source* inner = PatchOf(source)->inner;
    return inner->set_size ? inner->set_size(inner, size) : 0;
}

int PatchedCancel(burn_source* source) {
    burn_source* inner = PatchOf(source)->inner;
    return inner->version > 0 && inner->cancel ? inner->cancel(inner) : 0;
}

void PatchedFree(burn_source* source) {
    Patch* patch = PatchOf(source);
    ReleaseSource(patch->inner);
    delete patch;
    source->data = nullptr;
}

// The image source with the primary volume identifier replaced by `id`
// (d-characters, padded with spaces) as the blocks pass: a source of version
// 1 that libburn and ImageStream hold like libisofs's own. Takes over the
// reference to `inner`; null when memory runs out (`inner` is then kept).
burn_source* PatchedSource(burn_source* inner, const std::string& id) {
    auto* source = static_cast<burn_source*>(std::calloc(1, sizeof(burn_source)));
    if (!source)
        return nullptr;
    auto* patch = new Patch{inner, 0, {}};
    std::memset(patch->id, ' ', kVolumeIdBytes);
    std::memcpy(patch->id, id.data(), std::min(id.size(), kVolumeIdBytes));
    source->refcount = 1;
    source->read = nullptr;
    source->read_sub = nullptr;
    source->get_size = PatchedGetSize;
    source->set_size = PatchedSetSize;
    source->free_data = PatchedFree;
    source->next = nullptr;
    source->data = patch;
    source->version = 1;
    source->read_xt = PatchedRead;
    source->cancel = PatchedCancel;
    return source;
}

} // namespace

// ---- library ----

// libisofs is set up once (UTF-8 names, messages queued) and ended when the
// program ends: its generator threads may still be winding down after a
// cancelled image, so shutting it down between uses is not safe.
IsoLibrary::IsoLibrary() {
    static const bool started = [] {
        // bit 0: leave the process's locale alone; names are UTF-8 here.
        if (iso_init_with_flag(1) < 0)
            return false;
        iso_set_local_charset(Text("UTF-8"), 0);
        iso_set_msgs_severities(Text("SORRY"), Text("NEVER"), Text("quillor : "));
        std::atexit([] { iso_finish(); });
        return true;
    }();
    ok_ = started;
}

IsoLibrary::~IsoLibrary() = default;

std::string TakeIsoMessages() {
    std::string text;
    int code = 0, imageId = 0;
    char message[4096];
    char severity[80];
    while (iso_obtain_msgs(Text("SORRY"), &code, &imageId, message, severity) == 1) {
        if (!text.empty())
            text += "\n";
        text += message;
    }
    return text;
}

// ---- the image stream ----

ImageStream::ImageStream(ImagePtr image, burn_source* source)
    : image_(std::move(image)), source_(source) {}

ImageStream::~ImageStream() {
    cancel();
}

ImageStream::ImageStream(ImageStream&& other) noexcept
    : image_(std::move(other.image_)), source_(std::exchange(other.source_, nullptr)) {}

ImageStream& ImageStream::operator=(ImageStream&& other) noexcept {
    if (this != &other) {
        cancel();
        image_ = std::move(other.image_);
        source_ = std::exchange(other.source_, nullptr);
    }
    return *this;
}

std::uint64_t ImageStream::size() const {
    return source_ ? std::uint64_t(source_->get_size(source_)) : 0;
}

int ImageStream::read(unsigned char* buffer, int size) {
    return source_ ? source_->read_xt(source_, buffer, size) : -1;
}

void ImageStream::cancel() {
    if (!source_)
        return;
    // A generator that has not delivered everything stops before it goes.
    if (image_ && iso_image_generator_is_running(image_.get()))
        source_->cancel(source_);
    // As libburn's burn_source_free: the last holder frees it (a burn track
    // holds a reference of its own).
    if (--source_->refcount < 1) {
        if (source_->free_data)
            source_->free_data(source_);
        std::free(source_);
    }
    source_ = nullptr;
    image_.reset();
}

ImageStream StartImage(const DiscLayout& layout, bool sizeOnly, std::string& error) {
    IsoImage* rawImage = nullptr;
    const int made = iso_image_new(layout.volumeName.c_str(), &rawImage);
    if (made < 0) {
        error = ErrorText(made);
        return {};
    }
    ImagePtr image(rawImage);
    iso_tree_set_follow_symlinks(image.get(), 0);
    // A name the formats cannot hold is refused rather than shortened.
    iso_image_set_truncate_mode(image.get(), 0, 255);
    if (!AddLayout(image.get(), layout, error))
        return {};
    IsoWriteOpts* rawOpts = nullptr;
    if (iso_write_opts_new(&rawOpts, 2) < 0) {
        error = "iso_write_opts_new";
        return {};
    }
    WriteOptsPtr opts(rawOpts);
    iso_write_opts_set_iso_level(opts.get(), 3);
    iso_write_opts_set_rockridge(opts.get(), 1);
    iso_write_opts_set_joliet(opts.get(), 1);
    // The primary descriptor holds d-characters only: libisofs writes the
    // volume name there as d-characters, and the stream puts the layout's own
    // identifier in their place (PatchedSource). The Joliet descriptor keeps
    // the Chinese name.
    iso_write_opts_set_relaxed_vol_atts(opts.get(), 0);
    iso_write_opts_set_output_charset(opts.get(), "UTF-8");
    if (sizeOnly)
        iso_write_opts_set_will_cancel(opts.get(), 1);
    burn_source* source = nullptr;
    const int r = iso_image_create_burn_source(image.get(), opts.get(), &source);
    if (r < 0) {
        error = ErrorText(r);
        return {};
    }
    burn_source* patched = PatchedSource(source, DCharacters(layout.primaryVolumeId));
    if (!patched) {
        ReleaseSource(source);
        error = "out of memory";
        return {};
    }
    return ImageStream(std::move(image), patched);
}

// ---- reading back ----

std::unique_ptr<DiscVolume> OpenVolume(IsoDataSource* source, std::string& error) {
    IsoLibrary library;
    if (!library.ok()) {
        error = "libisofs";
        return nullptr;
    }
    VolumeNames names = ReadVolumeNames(source);
    bool hasJoliet = false, hasRockRidge = false;
    ImagePtr joliet = Import(source, true, hasJoliet, error);
    if (!joliet)
        return nullptr;
    ImagePtr rockRidge = Import(source, false, hasRockRidge, error);
    if (!rockRidge)
        return nullptr;
    return std::make_unique<IsoVolume>(std::move(joliet), std::move(rockRidge), hasJoliet,
                                       hasRockRidge, std::move(names));
}

} // namespace disc::burn
