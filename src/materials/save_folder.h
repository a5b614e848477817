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
// The save is crash safe. Every file is first copied into a staging folder
// inside F; nothing of the previous package changes while files are copied,
// so cancelling (between files) leaves it as it was. Then the copies are
// renamed onto their standard names, the new list and stored copy are written
// and renamed into place (the stored copy last: that rename is the moment the
// new package takes over), and only then are earlier copies and emptied
// material folders removed. Data and folder entries are flushed to the disk
// before each rename that depends on them. A kill or power loss at any moment
// leaves either the previous stored copy with every file it names, or the new
// one complete.
//
// A file that cannot be stored (source missing or unreadable, a folder that
// cannot be made, a full disk, a refused name, two entries claiming one name)
// does not stop the save: the other entries are stored, the failed entry's
// link in the stored copy is left empty and it is not listed, and the outcome
// names it with its source.

#include "fieldforms/completeness.h"
#include "platform/prompter.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace materials {

// Name of the list file in a package folder.
inline constexpr const char* kMaterialsListName = "材料清单.txt";
// Folder inside the package folder that holds the copies of a save in progress.
inline constexpr const char* kStagingFolderName = "~APLPKG.saving";

enum class SaveStage {
    Begin,  // the folder is writable and the copying starts (busy pointer on)
    Copy,   // a file is about to be copied (name: its standard file name)
    Place,  // a copied file is about to be renamed onto its standard name
    Commit, // the new list and stored copy are about to be renamed into place
    Clean,  // an earlier copy or an emptied material folder is about to be removed
    End,    // the save has ended (busy pointer off)
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
};

struct SaveOutcome {
    SaveStatus status = SaveStatus::Unreadable;
    std::vector<SaveFailure> failures;
    // Set by SaveFolder when the folder could not be remembered as 存储路径.
    std::string storagePathError;

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
SaveOutcome SaveFolder(SaveObserver* observer = nullptr);

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

} // namespace materials
