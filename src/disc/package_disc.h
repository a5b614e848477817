#pragma once
// From a checked package to a disc: the image file, or a burnt medium, each
// read back and compared file by file with the package folder before it is
// called good. Every refusal (too large for a DVD, not enough room, a medium
// that is not blank) comes before anything is written; an image that is
// cancelled, fails or does not compare equal is removed, never left under
// the chosen name.

#include "disc/disc.h"
#include "disc/package_check.h"

#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace disc {

// The volume name of a package disc (the Joliet descriptor's, which Windows
// shows): the text cut, at character boundaries, to 16 UTF-16 units and 32
// bytes of UTF-8 (ten Chinese characters);
// characters a disc name cannot carry (UCS-2 has no room for those beyond
// U+FFFF, Windows refuses \ / : * ? " < > | ;) are dropped. "APLPKG" when
// nothing is left.
std::string DiscVolumeName(const std::string& text);

enum class DiscPhase { Writing, Verifying };

// What the window learns while an image or a burn runs, and how it cancels.
class DiscObserver : public disc::DiscProgress {
  public:
    virtual void phase(DiscPhase /*phase*/) {}
};

struct DiscOutcome {
    enum class Status {
        Good,      // written, read back and equal to the folder
        Refused,   // nothing was written (too large, no room, medium not blank, ...)
        Cancelled, // the user stopped it
        Failed,    // writing or reading back failed
        Mismatch,  // read back, but not equal to the folder
    };
    Status status = Status::Failed;
    std::string message; // for the user, in Chinese

    bool good() const { return status == Status::Good; }
};

// The read-back volume against the layout: every file under the same name in
// the Joliet and the Rock Ridge tree, nothing more, the volume name as given,
// and every file's content equal to its file in the folder. One line per
// difference (at most 20); `cancelled` is set when the observer stopped it.
std::vector<std::string> CompareVolume(disc::DiscVolume& volume, const disc::DiscLayout& layout,
                                       disc::DiscProgress& progress, bool& cancelled);

using SinkOpener = std::function<std::unique_ptr<disc::ImageSink>(const std::filesystem::path& path,
                                                                  std::error_code& error)>;

// Writes the image of the layout into `target` and reads it back.
DiscOutcome WriteDiscImage(disc::DiscSystem& system, const disc::DiscLayout& layout,
                           const std::filesystem::path& target, DiscObserver& observer,
                           const SinkOpener& open = disc::CreateImageFile);

// Burns the layout onto the blank medium in `drive` and reads it back.
DiscOutcome BurnDisc(disc::DiscSystem& system, disc::DiscDrive& drive,
                     const disc::DiscLayout& layout, DiscObserver& observer);

// The primary descriptor's volume identifier of a package disc made at
// `when`, in d-characters: "APLPKG_" and the local date (APLPKG_20261207).
std::string PrimaryVolumeId(std::time_t when);

// The layout of a checked package under the given volume name, with the
// primary volume identifier of today.
disc::DiscLayout PackageLayout(const PackageCheck& check, const std::string& volumeName);

} // namespace disc
