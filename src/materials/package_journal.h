#pragma once
// The journal of a save and the repair of an interrupted one.
//
// A save copies every file into a staging folder of its own inside the
// package folder F ("~APLPKG.saving." and a name no other save uses). Before
// the first file of the previous package is touched, the journal in that
// folder names every rename to come (a staged copy onto its place in F), the
// backup of each file it replaces, which file it places (the staged copy's
// identity: device and inode), the material folders the renames make, and
// the clean-up after the commit (earlier copies to remove, material folders
// to remove when empty). The journal, the copies and the backups are on the
// disk before the first rename; the new stored copy "APLPKG.XML" is renamed
// into place last, and that rename is the commit.
//
// The repair, run by whoever meets the folder next, finds every staging
// folder. A journal that is incomplete or missing means that nothing was
// renamed yet: the copies go. Otherwise, when F's stored copy is the file the
// journal placed, the clean-up is finished; else every rename is put back,
// last first: a replaced file gets its backup, a placed file goes, but only
// while it is still the file the save placed. The previous format (the one
// staging folder "~APLPKG.saving", head "quillor-save 1", and a separate
// commit note) is repaired in the same way, by name where it recorded no
// identity: a program may be updated between a crash and the next start.
//
// A package folder may come from elsewhere (a disc copied to a writable
// folder keeps its symbolic links), and its staging folder and journal with
// it. So every rename and removal works through folder handles opened without
// following links (platform/folder_handle.h): a material folder, a staging
// folder or a backup that is no real folder or file is never acted through;
// the repair then touches nothing and names what it found. The clean-up
// removes only files that the previous stored copy linked as stored files and
// the current one does not: the previous stored copy is the one kept in the
// staging folder as the backup of APLPKG.XML. That protects the applicant's
// own files after a real crash; a crafted folder supplies that copy too, and
// against it what protects is that nothing outside F is ever reached.

#include "platform/folder_handle.h"
#include "platform/instance_lock.h"

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace materials {

// Every name of the program's own in a package folder starts so: the lock
// file, the staging folders and the staging folders set aside. None of them
// is part of the package; none is burned.
inline constexpr const char* kProgramEntryPrefix = "~APLPKG.";
// The staging folder of the previous format, and the start of today's names.
inline constexpr const char* kStagingFolderName = "~APLPKG.saving";
// Lock file in the package folder, held by a save or a repair while it runs.
inline constexpr const char* kPackageLockName = "~APLPKG.lock";
// Start of the name of a staging folder that a save set aside because it
// could not be repaired, followed by the time.
inline constexpr const char* kSetAsidePrefix = "~APLPKG.未恢复的保存-";
// Journal of a save in its staging folder.
inline constexpr const char* kJournalName = "journal";
// The largest journal read: one line per file, so far more than any package.
inline constexpr std::uint64_t kMaxJournalBytes = std::uint64_t{32} << 20;

// A staging folder's name ("~APLPKG.saving" or "~APLPKG.saving.<id>").
bool IsStagingFolderName(std::string_view name);
// Any name of the program's own in a package folder (see kProgramEntryPrefix).
bool IsProgramEntryName(std::string_view name);
// A new staging folder name, unique to this save.
std::string NewStagingFolderName();

// One rename of a save: a file of the staging folder onto its place in the
// package, and the backup of the file it replaces.
struct JournalPlace {
    std::string staged; // name in the staging folder
    std::string target; // place in the package: "name" or "material/name"
    std::string backup; // name in the staging folder of the replaced file's backup
    bool existed = false;
    platform::FileIdentity placed; // the staged copy (unknown in the previous format)
};

struct Journal {
    std::vector<std::string> made; // material folders the renames make
    std::vector<JournalPlace> places;
    std::vector<std::string> clean; // "D\tmaterial/name" and "R\tmaterial"
};

// The journal's text (today's format).
std::string JournalText(const Journal& journal);

// Files (material/name) that the stored copy in `bytes` links as stored files,
// as name keys.
std::set<std::string> StoredNames(const std::string& bytes);

// Puts back what the renames changed, last first (see the top of this file);
// safe to run again after a kill. Returns the places that still hold new
// content.
std::vector<std::string> RollBack(const platform::FolderHandle& package,
                                  const platform::FolderHandle& staging, const Journal& journal);
// The clean-up after the commit: each "D" line removes its file when
// `previous` (name keys, see StoredNames) holds it and `current` does not;
// each "R" line its material folder when empty. `notify` hears each name
// before it goes. Safe to run again after a kill.
void FinishCleanup(const platform::FolderHandle& package, const std::vector<std::string>& clean,
                   const std::set<std::string>& previous, const std::set<std::string>& current,
                   const std::function<void(const std::string&)>& notify = {});
// Removes a staging folder and everything in it (the journal first, so that
// a kill meanwhile leaves nothing that looks needed), never through a link.
bool RemoveStagingFolder(const platform::FolderHandle& package, const std::string& name);

// What meeting a package folder did about an interrupted save.
enum class RepairResult {
    Nothing,    // no interrupted save (or only copies that nothing needed)
    RolledBack, // the previous package was restored
    Finished,   // the new package was in place: its clean-up was finished
    Failed,     // it could not be repaired: some files hold new content
    Refused,    // a link or another odd entry was found: nothing was touched
    ReadOnly,   // an interrupted save is there, but the folder is read-only
    Busy,       // another program holds the folder's lock
    OtherHost,  // the lock is another computer's and may still be held
    NoLock,     // no lock can be had in the folder: nothing was touched
};
struct PackageRepair {
    RepairResult result = RepairResult::Nothing;
    std::vector<std::string> stuck;   // Failed: files (material/name) holding new content
    std::vector<std::string> refused; // Refused: what was found ("附图：符号链接")
    platform::LockHolder holder;      // Busy, OtherHost: the lock's holder
    std::string lockProblem;          // NoLock: why
};

// Repairs every interrupted save in `folder` under its lock. Writes nothing
// when there is none, when the folder is read-only, or when the lock is not
// had.
PackageRepair RepairPackage(const std::string& folder);
// The repair, with the folder's lock held by the caller.
PackageRepair RepairLocked(const platform::FolderHandle& package);
// Whether `folder` holds an interrupted save that still needs repairing
// (read-only: nothing is written).
bool HasInterruptedSave(const std::string& folder);
// Whether a save or repair holds the folder's lock right now (read-only).
bool SaveRunning(const std::string& folder);

} // namespace materials
