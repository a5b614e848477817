#pragma once
// Optical discs: the ISO 9660 image of a package (with Joliet names for
// Windows and Rock Ridge names for other systems), the drives of the machine,
// burning, and reading a finished image or medium back. The program sees only
// these interfaces; OpenDiscSystem gives the implementation of this system
// (libisofs and libburn, in the module quillor-disc), another system may
// supply its own.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace disc {

// Bytes of one logical block of a data disc.
inline constexpr std::uint64_t kDiscBlock = 2048;

// One file of the disc: its path on the disc (UTF-8, folders separated by
// '/', no leading '/') and the file its content is read from.
struct DiscFile {
    std::string discPath;
    std::filesystem::path source;
    std::uint64_t size = 0;
};

// What goes onto a disc: the volume name (already within the format's
// limits; the Joliet descriptor holds it, Windows shows it), the files (the
// folders follow from the paths) and the primary descriptor's volume
// identifier, which ISO 9660 allows only d-characters (A-Z, 0-9, _; any other
// character is written as "_", at most 32).
struct DiscLayout {
    std::string volumeName;
    std::vector<DiscFile> files;
    std::string primaryVolumeId = "APLPKG";
};

// The primary volume identifier as the disc holds it: d-characters only,
// letters in upper case, at most 32.
inline std::string DCharacters(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (out.size() == 32)
            break;
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
        out += (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ? c : '_';
    }
    return out;
}

// What a long disc operation reports, and how it is cancelled. Both are
// called often (after every chunk, or every tenth of a second while a drive
// works), on the thread that started the operation.
class DiscProgress {
  public:
    virtual ~DiscProgress() = default;
    virtual void progress(std::uint64_t /*done*/, std::uint64_t /*total*/) {}
    virtual bool cancelRequested() { return false; }
};

enum class DiscStatus {
    Done,
    Cancelled,    // stopped on the user's request
    SourceFailed, // a file of the layout could not be read (or changed while read)
    WriteFailed,  // the target refused the data
    NoSpace,      // the target is full
    Failed,       // anything else the disc library reported
};

struct DiscResult {
    DiscStatus status = DiscStatus::Failed;
    std::string detail; // the library's or the system's own words, for the message

    bool ok() const { return status == DiscStatus::Done; }
};

// Where an image goes: written in order, then finished (made durable and put
// in place under its name) or discarded (nothing of it stays).
class ImageSink {
  public:
    virtual ~ImageSink() = default;
    // Free bytes where the image goes, before anything is written.
    virtual std::uint64_t available() const = 0;
    virtual std::error_code write(const void* data, std::size_t size) = 0;
    virtual std::error_code finish() = 0;
    virtual void discard() = 0;
};

// The image file at `path`, written under a temporary name beside it and
// renamed onto `path` by finish; a sink that is neither finished nor
// discarded removes its temporary file when it goes. Null with `error` set
// when the temporary file cannot be made.
std::unique_ptr<ImageSink> CreateImageFile(const std::filesystem::path& path,
                                           std::error_code& error);

// A finished image or medium, read back.
enum class NameTree { Joliet, RockRidge };

struct VolumeEntry {
    std::string path; // as DiscFile::discPath
    bool folder = false;
    std::uint64_t size = 0;
};

class DiscVolume {
  public:
    virtual ~DiscVolume() = default;
    // The volume name as Windows shows it (Joliet) and as the primary
    // descriptor holds it.
    virtual std::string jolietVolumeName() const = 0;
    virtual std::string primaryVolumeName() const = 0;
    // Every file and folder under the names of one tree; empty when the
    // volume has no such tree.
    virtual std::vector<VolumeEntry> entries(NameTree tree) const = 0;
    // Reads a file (by its Joliet path) in order, handing each chunk to
    // `chunk`, which returns false to stop. False when it cannot be read.
    virtual bool read(const std::string& path,
                      const std::function<bool(const char*, std::size_t)>& chunk) = 0;
};

struct DriveInfo {
    std::string address; // what openDrive takes
    std::string name;    // maker and model, for the list
};

enum class MediumState {
    NoMedium,
    Blank,      // ready to be written from the start
    Written,    // holds data (closed, appendable, or an overwritable disc with a volume on it)
    Unsuitable, // cannot be written by this drive
};

struct MediumInfo {
    MediumState state = MediumState::NoMedium;
    std::string kind;            // "DVD+R", "CD-R", ... ("" when unknown)
    std::uint64_t freeBytes = 0; // room for data on a blank medium
};

class DiscDrive {
  public:
    virtual ~DiscDrive() = default;
    virtual MediumInfo medium() = 0;
    // Burns the image of the layout, generated while it is written, as one
    // closed session. The caller has seen a blank medium with room enough.
    virtual DiscResult burn(const DiscLayout& layout, DiscProgress& progress) = 0;
    // The medium as the drive reads it now; null with `error` set when it
    // holds no readable volume.
    virtual std::unique_ptr<DiscVolume> readBack(std::string& error) = 0;
};

class DiscSystem {
  public:
    virtual ~DiscSystem() = default;
    // Bytes of the image of the layout, without writing it.
    virtual std::optional<std::uint64_t> imageSize(const DiscLayout& layout,
                                                   std::string& error) = 0;
    // Generates the image into the sink; the sink is neither finished nor
    // discarded here.
    virtual DiscResult writeImage(const DiscLayout& layout, ImageSink& sink,
                                  DiscProgress& progress) = 0;
    // Reads an image file; null with `error` set when it holds no volume.
    virtual std::unique_ptr<DiscVolume> openImage(const std::filesystem::path& path,
                                                  std::string& error) = 0;
    // The drives of the machine that can write discs.
    virtual std::vector<DriveInfo> drives() = 0;
    // A drive by its address (one of drives(), or a pseudo-drive "stdio:" +
    // path that writes a file like a drive); null with `error` set.
    virtual std::unique_ptr<DiscDrive> openDrive(const std::string& address,
                                                 std::string& error) = 0;
};

// The disc system of this machine. When its module cannot be opened, a system
// that has no drives and fails every operation, naming the module.
std::unique_ptr<DiscSystem> OpenDiscSystem();

} // namespace disc
