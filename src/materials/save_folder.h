#pragma once
// "保存": the package folder written from the working copy of the manifest.
//
// The package folder F receives the stored copy "APLPKG.XML" (the working
// copy with the links of stored files rewritten to "Local:\\" + standard file
// name), one subfolder per material holding its linked files under their
// standard names (fileName + "." + the source's extension; fileName alone for
// a source without one), and the list "材料清单.txt" (GB18030, which is GBK
// for every character GBK holds; CR LF). The working copy itself is never changed, so a
// later save copies the sources again.
//
// Names from the manifest are untrusted: a material name or entry name that
// the one name rule (materials/name_rule.h) refuses, or whose path on the
// disc would be too long, is refused for that entry (the package check and
// the disc apply the same rule), and no path built from the manifest leads
// outside F (or, for files carried over
// from an earlier folder, outside that folder).
//
// What the save removes: only files that the folder's previous stored copy
// (the APLPKG.XML present when the save starts) linked as "Local:\\" files of
// a material, when the new package no longer names them, and a material
// folder only when it is empty afterwards. Files the package never stored
// stay, whatever their names, and so does any file that is the source of an
// entry of the same save.
//
// What holds after a kill or power loss: every file is first copied into a
// staging folder of the save's own inside F, and a journal there names every
// rename to come before the first one; the new stored copy is renamed into
// place last. Whoever meets the folder next (the save itself, the materials
// window, "打开", the package check, --check-package --repair) finishes or
// rolls back an interrupted save (see package_journal.h), so the folder is
// always the previous package or the new one.
//
// A failure on the destination side (a full disk, a write error, a failed
// flush, a folder that turned read-only) rolls the whole save back and says
// why. A failure on the source side (a source missing, unreadable or changed,
// a refused name, two entries claiming one name) does not stop the save: the
// other entries are stored, the failed entry's link in the stored copy is
// left empty and it is not listed, and the outcome names it with its source.
//
// One save or repair at a time per folder: both hold the lock file
// "~APLPKG.lock" in F for their whole run (platform/instance_lock.h); where
// no lock can be had, nothing is saved.

#include "fieldforms/completeness.h"
#include "materials/package_journal.h"
#include "platform/prompter.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace materials {

// Name of the list file in a package folder.
inline constexpr const char* kMaterialsListName = "材料清单.txt";
// The one sentence that tells the user what the repair did, and what to do
// next where it could not; "" for Nothing.
std::string RepairSentence(const PackageRepair& repair, const std::string& folder);
// RepairPackage, and the sentence told through the prompter ("提示"). A lock
// of another computer is removed, and the repair run again, when the user
// says so.
void RepairAndTell(const std::string& folder);
// The question before a lock of another computer is removed.
std::string ForeignLockQuestion(const platform::LockHolder& holder, const std::string& folder);

enum class SaveStage {
    Begin,   // the folder is writable and the copying starts (busy pointer on)
    Copy,    // a file is about to be copied (name: its standard file name)
    Place,   // a copied file is about to be renamed onto its standard name
    Commit,  // the new list and stored copy are about to be renamed into place
    Clean,   // an earlier copy or an emptied material folder is about to be removed
    Release, // the staging folder is gone and the lock is about to be released
    End,     // the save has ended (busy pointer off)
};

// What the window learns while a save runs, and how it cancels one.
class SaveObserver {
  public:
    virtual ~SaveObserver() = default;
    virtual void stage(SaveStage /*stage*/, const std::string& /*name*/) {}
    // Bytes of all files to copy: done so far and in all (after every chunk).
    virtual void copied(std::uint64_t /*done*/, std::uint64_t /*total*/) {}
    // Asked before each file is copied and once after the last; true stops the
    // save and leaves the previous package as it was.
    virtual bool cancelRequested() { return false; }
};

// Why one entry's file was not stored.
enum class SaveProblem {
    MaterialName,      // fjmc cannot be a folder name
    EntryName,         // fileName (or the standard name made from it) cannot be a file name
    DuplicateName,     // another entry of the folder claims the same name
    SourceMissing,     // the linked source does not exist
    SourceNotAFile,    // the linked source is a folder or a device
    SourceUnreadable,  // the source could not be read
    SourceChanged,     // the source changed while it was copied
    FolderNotMade,     // the material's folder could not be made
    WriteFailed,       // the copy could not be written
    DiskFull,          // no space left (or the file is too large for the disk)
    StoredFileMissing, // a file stored by an earlier save is not in its folder
    BadStoredLink,     // a "Local:\\" link whose rest is not a plain file name, or a
                       // relative source path (never resolved against the current folder)
    FlushFailed,       // the data could not be flushed to the disk
    ReadOnly,          // the folder turned read-only
};
// The text the user reads for a problem.
const char* ProblemText(SaveProblem problem);

struct SaveFailure {
    std::string material; // fjmc
    std::string entry;    // fileName, or "第n个报件" when it has none
    std::string source;   // the path that could not be stored (or the refused link)
    SaveProblem problem;
    std::string detail{}; // for a refused name: why, in the words of the name rule
};

enum class SaveStatus {
    Saved,             // ran to the end (failures of single entries are in `failures`)
    Unreadable,        // the working copy could not be read: nothing written
    FolderNotWritable, // the package folder could not be made or written: nothing changed
    Cancelled,         // the user cancelled while files were copied: nothing changed
    WriteFailed,       // the destination failed (writeProblem): rolled back (unless `stuck`)
    Busy,              // another save or repair holds the folder: nothing written
    ForeignLock,       // the folder's lock is another computer's: nothing written
    LockRefused,       // no lock can be had in the folder (lockProblem): nothing written
    Interrupted,       // an interrupted save there could not be set aside: nothing written
    Declined,          // the user answered 否 to saving into a foreign folder: nothing written
};

struct SaveOutcome {
    SaveStatus status = SaveStatus::Unreadable;
    std::vector<SaveFailure> failures;
    // Set by SaveFolder when the folder could not be remembered as 存储路径.
    std::string storagePathError;
    // WriteFailed: why (DiskFull, WriteFailed, FlushFailed, ReadOnly), and for
    // a full disk the bytes the save needed and those free.
    SaveProblem writeProblem = SaveProblem::WriteFailed;
    std::uint64_t neededBytes = 0;
    std::uint64_t freeBytes = 0;
    // WriteFailed: files (material/name) that the rollback could not put back;
    // their backups stay for the next repair.
    std::vector<std::string> stuck;
    // What the save's own repair of an interrupted earlier save did, and where
    // the staging folder of one that could not be repaired was set aside.
    PackageRepair repair;
    std::string setAside;
    // Busy, ForeignLock: who holds the lock; LockRefused: why none could be had.
    platform::LockHolder lockHolder;
    std::string lockProblem;

    bool saved() const { return status == SaveStatus::Saved; }
};

// Writes the summary lines of a form (mode 1 or 2, as WriteApplicationSummary).
using SummaryWriter = std::function<void(int mode, fieldforms::LineWriter& writer)>;

struct SaveRequest {
    std::string workPath;      // the working copy
    std::string shownFolder;   // the package folder to write
    std::string storageFolder; // where the "Local:\\" links of the working copy lie
    SummaryWriter summary;     // empty: fieldforms::WriteApplicationSummary
    std::size_t chunkBytes = std::size_t{8} << 20; // progress granularity of a copy
};

// Writes the package (see the top of this file). Shows no message; database
// errors of the summary are passed on before anything is written.
SaveOutcome SavePackage(const SaveRequest& request, SaveObserver* observer = nullptr);

// The save of the materials window on the globals: WorkManifestPath into
// ShownFolder, links resolved in StorageFolder. An unreadable working copy is
// reported as "XML文件不存在-" + the stored copy's path, a folder that cannot be
// written as "申报资料存储路径无法写入-" + the folder; when the package was
// saved, the folder is remembered as the item's 存储路径 (saveStoragePath).
// Before the first save into a folder that is not empty and holds no
// APLPKG.XML, asks once (是/否); 否 saves nothing (Declined). Other outcomes
// than Saved are told here (a cancelled save: that nothing was changed).
SaveOutcome SaveFolder(SaveObserver* observer = nullptr);
// The question before saving into `folder`: "" when none is needed.
std::string ForeignFolderQuestion(const std::string& folder);
// The message of a save that did not run to the end; "" when none is due.
std::string SaveFailureText(const SaveOutcome& outcome, const std::string& folder);
// The message after a save that set aside an interrupted save it could not
// repair; "" when it set none aside.
std::string SetAsideSentence(const SaveOutcome& outcome, const std::string& folder);
// Failures named in the message; the rest are counted.
inline constexpr std::size_t kListedFailures = 20;

// The message after a save that ran to the end, with the package's total size
// in MB against the limit: "保存成功!" with the folder to burn, or the size
// warning ("警告"); when entries failed (or the folder was not remembered), a
// warning that names each failed entry and its source, never "保存成功!".
struct SaveMessage {
    std::string text;
    std::string title;
    platform::MsgIcon icon;
};
SaveMessage SaveResultMessage(const SaveOutcome& outcome, std::int32_t totalMb,
                              std::int32_t limitMb, const std::string& folderText);

// Writes the materials list of the manifest at manifestPath into listPath:
// the summaries of both forms, then "上报材料清单：" and one numbered line per
// entry whose link carries the local prefix and whose stored file is in its
// material's folder beside the manifest, numbered across the whole package.
// An unreadable manifest gives the short "XML文件不存在" and no list.
bool makeFjqd(const std::string& listPath, const std::string& manifestPath);

// Remembers ShownFolder as the selected item's 存储路径, in its row of 资料模板
// and in ItemTable. Throws platform::db::DbError when the database refuses.
void saveStoragePath();
void saveStoragePath(const std::string& folder);

} // namespace materials
