// The package writer: plans the files of the new package, copies them into a
// staging folder of its own, writes the journal, renames everything into
// place and cleans up (see save_folder.h and package_journal.h; what it holds
// while it runs is in save_scope.h, the list's text in materials_list.cpp).

#include "materials/package_writer.h"

#include "materials/manifest.h"
#include "materials/modfjgl.h"
#include "materials/package_journal.h"
#include "materials/save_scope.h"
#include "platform/file_copy.h"
#include "platform/folder_handle.h"
#include "platform/gbk.h"
#include "platform/utf8.h"
#include "platform/xmldoc.h"
#include "util/convert.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <system_error>
#include <utility>

#include <cerrno>

namespace materials {

namespace fs = std::filesystem;
using platform::EntryKind;
using platform::FolderHandle;
using platform::IsRealFile;
using platform::IsRealFolder;
using platform::XmlDocument;
using platform::XmlNode;

namespace {

std::string ChildText(const XmlNode& node, const char* xpath) {
    return node.selectSingleNode(xpath).text();
}

// The key of a file of a material: names compare by the one name rule, so two
// entries can never claim names that are one file on the disc.
std::string FileKey(const std::string& material, const std::string& name) {
    return NameKey(material) + "/" + NameKey(name);
}

// fileName and the source's extension; a source without an extension is
// stored under fileName alone, as a name ending in a dot would be renamed by
// Windows.
std::string StandardName(const std::string& baseName, const std::string& extension) {
    return extension.empty() ? baseName : baseName + "." + extension;
}

// The package's own files: no material may be named like them.
bool IsPackageFileName(const std::string& name) {
    return SameName(name, kStoredCopyName) || SameName(name, kMaterialsListName) ||
           NameKey(name).starts_with(NameKey(kProgramEntryPrefix));
}

// What a failed write of the destination says about it.
SaveProblem WriteProblem(const std::error_code& error) {
    if (error == std::errc::no_space_on_device || error == std::errc::file_too_large
#ifndef _WIN32
        || error.value() == EDQUOT
#endif
    )
        return SaveProblem::DiskFull;
    if (error == std::errc::read_only_file_system || error == std::errc::permission_denied ||
        error == std::errc::operation_not_permitted)
        return SaveProblem::ReadOnly;
    return SaveProblem::WriteFailed;
}

std::string LocalTimeText() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
#ifdef _WIN32
    localtime_s(&parts, &now);
#else
    localtime_r(&now, &parts);
#endif
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &parts);
    return text;
}

// What becomes of one entry's file.
enum class FileAction {
    None,       // the entry has no link
    CopySource, // a source file is copied in under its standard name
    CopyStored, // a file of an earlier save is copied (another folder, or a new name)
    KeepStored, // a file of an earlier save stays where it is
    Fail,       // not stored (see problem)
};

struct PlannedMaterial {
    std::string name;
    std::string key; // NameKey(name)
    fs::path folder;
    bool usable = false;            // the name can be a folder of the package
    bool recount = false;           // a link was left empty: dzjs is counted again
    XmlNode count;                  // its dzjs element
    std::optional<EntryKind> found; // what its name is in the package, once looked at
};

struct PlannedFile {
    std::size_t material = 0;
    XmlNode url;
    std::string label;
    std::string source;
    fs::path from;
    std::string storedName; // the name it is stored under
    std::string baseName;   // fileName
    std::uint64_t bytes = 0;
    FileAction action = FileAction::None;
    SaveProblem problem = SaveProblem::WriteFailed;
    std::string staged; // its copy's name in the staging folder

    void fail(SaveProblem why) {
        action = FileAction::Fail;
        problem = why;
    }
    bool copied() const {
        return (action == FileAction::CopySource || action == FileAction::CopyStored) &&
               !staged.empty();
    }
};

// Why a refused name cannot be kept, in the words of the name rule.
std::string NameDetail(const std::string& material, const PlannedFile& f) {
    switch (f.problem) {
    case SaveProblem::MaterialName:
        if (std::string problem = NameProblem(material); !problem.empty())
            return problem;
        return IsPackageFileName(material) ? "与申报资料自身的文件同名"
                                           : "与另一材料的名称只有大小写不同";
    case SaveProblem::EntryName:
    case SaveProblem::BadStoredLink:
        for (const std::string& name : {f.baseName, f.storedName})
            if (!name.empty())
                if (std::string problem = NameProblem(name); !problem.empty())
                    return problem;
        return f.storedName.empty() ? std::string() : PathProblem(material, f.storedName);
    default:
        return {};
    }
}

class PackageWriter {
  public:
    PackageWriter(const SaveRequest& request, SaveObserver* observer)
        : request_(request), stages_(observer),
          folder_(platform::PathFromUtf8(request.shownFolder)),
          storage_(platform::PathFromUtf8(request.storageFolder)) {}

    SaveOutcome run();

  private:
    enum class CopyEnd { Done, Cancelled, Failed };
    SaveOutcome lockAndRepair(SaveScope& scope);
    void readPrevious(const FolderHandle& package);
    void plan(const XmlDocument& doc);
    void planEntry(std::size_t m, const XmlNode& file);
    void planStored(PlannedFile& f, const PlannedMaterial& mat, const std::string& link);
    bool claim(const PlannedMaterial& mat, const std::string& name);
    bool isSource(const fs::path& path) const;
    platform::EntryInfo addSource(const fs::path& path);
    CopyEnd copyAll(const SaveScope& scope);
    bool failWrite(SaveProblem problem);
    bool failWrite(const std::error_code& error);
    void rewriteLinks();
    std::vector<std::string> cleanupLines() const;
    bool stagePackageFiles(const SaveScope& scope, const XmlDocument& doc, const std::string& head);
    bool placeAll(const SaveScope& scope, std::size_t end);
    bool makeBackups(const SaveScope& scope, std::size_t end, std::vector<bool>& backedUp);
    bool place(const SaveScope& scope, std::size_t i, bool backedUp);
    const FolderHandle* materialFolder(const SaveScope& scope, const std::string& material,
                                       bool make, std::error_code& error);
    SaveOutcome finish(SaveStatus status);
    SaveOutcome rolledBack(SaveScope& scope);

    const SaveRequest& request_;
    StageScope stages_;
    fs::path folder_;
    fs::path storage_;
    std::vector<PlannedMaterial> materials_;
    std::vector<PlannedFile> files_;
    std::map<std::string, std::set<std::string>> claims_;       // folder key → name keys
    std::vector<std::pair<std::string, std::string>> previous_; // stored by the previous copy
    std::set<std::string> previousKeys_;
    std::set<std::string> storedKeys_; // stored by the new package
    // The sources of this save, by identity (missing ones by path).
    std::set<std::pair<std::uint64_t, std::uint64_t>> sources_;
    std::set<fs::path> missingSources_;
    Journal journal_;
    std::uint64_t totalBytes_ = 0;
    PackageRepair repair_;
    std::string setAside_;
    platform::InstanceLock::Attempt lockAttempt_;
    // A failure on the destination side: the whole save is rolled back.
    SaveProblem writeProblem_ = SaveProblem::WriteFailed;
    std::vector<std::string> stuck_;
    std::map<std::string, FolderHandle> placeFolders_; // material folders opened for renames
};

bool PackageWriter::claim(const PlannedMaterial& mat, const std::string& name) {
    return claims_[mat.key].insert(NameKey(name)).second;
}

// Notes a source of this save; what the path leads to.
platform::EntryInfo PackageWriter::addSource(const fs::path& path) {
    const platform::EntryInfo info = platform::FollowedEntry(path);
    if (info.kind != EntryKind::Missing) {
        sources_.emplace(info.identity.device, info.identity.inode);
    } else {
        std::error_code error;
        const fs::path canonical = fs::weakly_canonical(path, error);
        missingSources_.insert(error ? path : canonical);
    }
    return info;
}

bool PackageWriter::isSource(const fs::path& path) const {
    const platform::EntryInfo info = platform::FollowedEntry(path);
    if (info.kind != EntryKind::Missing &&
        sources_.contains({info.identity.device, info.identity.inode}))
        return true;
    if (missingSources_.empty())
        return false;
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(path, error);
    return missingSources_.contains(error ? path : canonical);
}

// The files that the folder's stored copy linked when the save started: the
// only ones the save may remove.
void PackageWriter::readPrevious(const FolderHandle& package) {
    std::string bytes;
    std::error_code error;
    XmlDocument doc;
    if (package.entry(kStoredCopyName).kind != EntryKind::File ||
        !package.readFile(kStoredCopyName, platform::kMaxXmlFileBytes, bytes, error) ||
        !doc.loadBytes(bytes, folder_ / kStoredCopyName))
        return;
    for (const XmlNode& material : MaterialNodes(doc)) {
        const std::string name = ChildText(material, ".//fjmc");
        for (const XmlNode& file : material.selectNodes(".//fileList//file")) {
            const std::string link = ChildText(file, ".//fileUrl");
            if (!IsStoredLink(link))
                continue;
            const std::string stored = LinkWithoutPrefix(link);
            if (previousKeys_.insert(FileKey(name, stored)).second)
                previous_.emplace_back(name, stored);
        }
    }
}

void PackageWriter::plan(const XmlDocument& doc) {
    std::map<std::string, std::string> spelled; // material key → the first name spelled so
    for (const XmlNode& node : MaterialNodes(doc)) {
        PlannedMaterial mat;
        mat.name = ChildText(node, ".//fjmc");
        mat.key = NameKey(mat.name);
        mat.usable = IsStorableName(mat.name) && !IsPackageFileName(mat.name) &&
                     spelled.emplace(mat.key, mat.name).first->second == mat.name;
        mat.folder = folder_ / platform::PathFromUtf8(mat.name);
        mat.count = node.selectSingleNode(".//dzjs");
        materials_.push_back(std::move(mat));
        const std::size_t m = materials_.size() - 1;
        for (const XmlNode& file : node.selectNodes(".//fileList//file"))
            planEntry(m, file);
    }
}

void PackageWriter::planEntry(std::size_t m, const XmlNode& file) {
    const PlannedMaterial& mat = materials_[m];
    PlannedFile f;
    f.material = m;
    f.url = file.selectSingleNode(".//fileUrl");
    const std::string link = f.url.text();
    const std::string baseName = ChildText(file, ".//fileName");
    f.label = baseName.empty() ? "第" + ChildText(file, ".//fileXh") + "个报件" : baseName;
    f.source = link;
    if (link.empty())
        return; // its earlier copies go with the clean-up
    const fs::path linked = platform::PathFromUtf8(link);
    // The prefix is decided before any file test: a stored link is never
    // tested as a path, and no link is resolved against the current folder.
    platform::EntryInfo source;
    if (!IsStoredLink(link) && linked.is_absolute())
        source = addSource(linked); // never removed by this save, even when the entry fails
    if (!mat.usable) {
        f.fail(SaveProblem::MaterialName);
    } else if (IsStoredLink(link)) {
        f.baseName = baseName;
        planStored(f, mat, link);
    } else if (!linked.is_absolute()) {
        f.fail(SaveProblem::BadStoredLink);
    } else if (source.kind == EntryKind::File) {
        f.storedName = StandardName(baseName, GetExtension(link));
        f.baseName = baseName;
        if (!IsStorableName(baseName) || !IsStorableName(f.storedName) ||
            !PathProblem(mat.name, f.storedName).empty()) {
            f.fail(SaveProblem::EntryName);
        } else if (!claim(mat, f.storedName)) {
            f.fail(SaveProblem::DuplicateName);
        } else {
            f.action = FileAction::CopySource;
            f.from = linked;
            f.bytes = source.size;
        }
    } else if (source.kind != EntryKind::Missing) {
        f.fail(SaveProblem::SourceNotAFile);
    } else {
        f.fail(SaveProblem::SourceMissing);
    }
    files_.push_back(std::move(f));
}

// A link to a file stored by an earlier save: kept where it is, or copied
// over from the earlier folder when a new folder was chosen. An entry whose
// standard name changed since (a title typed after the save) gets its file
// under the new name; the old one goes with the clean-up.
void PackageWriter::planStored(PlannedFile& f, const PlannedMaterial& mat,
                               const std::string& link) {
    f.storedName = LinkWithoutPrefix(link);
    if (!IsStorableName(f.storedName) || !PathProblem(mat.name, f.storedName).empty()) {
        f.fail(SaveProblem::BadStoredLink);
        return;
    }
    const fs::path name = platform::PathFromUtf8(mat.name);
    const fs::path stored = platform::PathFromUtf8(f.storedName);
    const std::string renamed = StandardName(f.baseName, GetExtension(f.storedName));
    const bool rename = IsStorableName(f.baseName) && IsStorableName(renamed) &&
                        NameKey(renamed) != NameKey(f.storedName);
    const bool here = request_.shownFolder == request_.storageFolder;
    if (!here || rename) {
        const fs::path from = here ? mat.folder / stored : storage_ / name / stored;
        f.source = platform::PathToUtf8(from);
        if (request_.storageFolder.empty() || !IsRealFolder(from.parent_path()) ||
            !IsRealFile(from))
            return f.fail(SaveProblem::StoredFileMissing);
        if (rename)
            f.storedName = renamed;
        if (!claim(mat, f.storedName))
            return f.fail(SaveProblem::DuplicateName);
        std::error_code error;
        f.action = FileAction::CopyStored;
        f.from = from;
        f.bytes = fs::file_size(from, error);
    } else {
        const fs::path kept = mat.folder / stored;
        f.source = platform::PathToUtf8(kept);
        if (!IsRealFolder(mat.folder) || !IsRealFile(kept))
            return f.fail(SaveProblem::StoredFileMissing);
        if (!claim(mat, f.storedName))
            return f.fail(SaveProblem::DuplicateName);
        f.action = FileAction::KeepStored;
    }
}

bool PackageWriter::failWrite(SaveProblem problem) {
    writeProblem_ = problem;
    return false;
}

bool PackageWriter::failWrite(const std::error_code& error) {
    return failWrite(WriteProblem(error));
}

// Copies every file into the staging folder. A source that cannot be read
// fails its entry; a destination that cannot be written fails the save.
PackageWriter::CopyEnd PackageWriter::copyAll(const SaveScope& scope) {
    std::uint64_t total = 0;
    for (const PlannedFile& f : files_)
        if (f.action == FileAction::CopySource || f.action == FileAction::CopyStored)
            total += f.bytes;
    totalBytes_ = total;
    std::uint64_t done = 0;
    int index = 0;
    const FolderHandle& staging = scope.staging();
    for (PlannedFile& f : files_) {
        if (f.action != FileAction::CopySource && f.action != FileAction::CopyStored)
            continue;
        if (stages_.cancelled())
            return CopyEnd::Cancelled;
        stages_.notify(SaveStage::Copy, f.storedName);
        PlannedMaterial& mat = materials_[f.material];
        if (!mat.found)
            mat.found = scope.package().entry(mat.name).kind;
        if (*mat.found != EntryKind::Folder && *mat.found != EntryKind::Missing) {
            f.fail(SaveProblem::FolderNotMade); // a file (or link) of that name
            continue;
        }
        f.staged = std::to_string(++index) + ".part";
        const std::uint64_t before = done;
        // Written by path into the staging folder that this save made itself.
        const platform::CopyResult result = platform::CopyFileData(
            f.from, staging.path() / f.staged, request_.chunkBytes, [&](std::uint64_t n) {
                done = before + n;
                stages_.copied(done, std::max(total, done));
            });
        if (result.ok())
            continue;
        std::error_code error;
        staging.removeFile(f.staged, error);
        f.staged.clear();
        if (result.failure == platform::CopyResult::Failure::Read)
            f.fail(SaveProblem::SourceUnreadable);
        else if (result.failure == platform::CopyResult::Failure::Changed)
            f.fail(SaveProblem::SourceChanged);
        else
            return failWrite(result.error), CopyEnd::Failed;
    }
    if (stages_.cancelled())
        return CopyEnd::Cancelled;
    return CopyEnd::Done;
}

// The stored copy's links: stored files in the local form, failed entries
// empty (a stored copy never links outside its own folder), and the count of
// a material that lost a link counted again.
void PackageWriter::rewriteLinks() {
    std::vector<platform::XmlEdit> edits;
    std::vector<int> linked(materials_.size(), 0);
    for (const PlannedFile& f : files_) {
        if (f.action == FileAction::Fail) {
            edits.push_back({f.url, ""});
            materials_[f.material].recount = true;
        } else if (f.action != FileAction::None) {
            edits.push_back({f.url, std::string(kLocalPrefix) + f.storedName});
            ++linked[f.material];
            storedKeys_.insert(FileKey(materials_[f.material].name, f.storedName));
        }
    }
    for (std::size_t m = 0; m < materials_.size(); ++m)
        if (materials_[m].recount)
            edits.push_back({materials_[m].count, std::to_string(linked[m])});
    // All from what was read before: an element of a hostile manifest may lie
    // inside another one that is rewritten, and the edits go deepest first.
    platform::ApplyEdits(std::move(edits));
}

// The clean-up after the commit: every file that the previous stored copy
// linked and the new package does not store, unless it is a source of this
// save; then its material folder, when that is empty afterwards.
std::vector<std::string> PackageWriter::cleanupLines() const {
    std::vector<std::string> lines;
    std::set<std::string> folders;
    std::vector<std::string> removeIfEmpty;
    for (const auto& [material, name] : previous_) {
        if (!IsStorableName(material) || !IsStorableName(name) ||
            storedKeys_.contains(FileKey(material, name)))
            continue;
        const fs::path path =
            folder_ / platform::PathFromUtf8(material) / platform::PathFromUtf8(name);
        if (!IsRealFolder(path.parent_path()) || !IsRealFile(path) || isSource(path))
            continue;
        lines.push_back("D\t" + material + "/" + name);
        if (folders.insert(NameKey(material)).second)
            removeIfEmpty.push_back("R\t" + material);
    }
    lines.insert(lines.end(), removeIfEmpty.begin(), removeIfEmpty.end());
    return lines;
}

// The new list and stored copy, written into the staging folder, and the
// journal of every rename to come; all of it, with the copies, on the disk
// before the first rename.
bool PackageWriter::stagePackageFiles(const SaveScope& scope, const XmlDocument& doc,
                                      const std::string& head) {
    const FolderHandle& staging = scope.staging();
    const FolderHandle& package = scope.package();
    std::error_code error;
    std::string stored;
    const std::string list = platform::GbkTextBytes(
        head + ListedFiles(doc, [this](const std::string& m, const std::string& n) {
            return storedKeys_.contains(FileKey(m, n));
        }));
    if (!doc.serialize(stored))
        return failWrite(SaveProblem::WriteFailed);
    if (!staging.writeNewFile(kMaterialsListName, list, error) ||
        !staging.writeNewFile(kStoredCopyName, stored, error))
        return failWrite(error);

    std::set<std::string> made;
    std::map<std::size_t, FolderHandle> opened; // material → its folder in the package
    int index = 0;
    for (const PlannedFile& f : files_) {
        if (!f.copied())
            continue;
        const PlannedMaterial& mat = materials_[f.material];
        auto it = opened.find(f.material);
        if (it == opened.end()) {
            std::error_code ignored;
            it = opened.emplace(f.material, package.openFolder(mat.name, ignored)).first;
        }
        const FolderHandle& folder = it->second;
        if (!folder.valid() && made.insert(mat.key).second)
            journal_.made.push_back(mat.name);
        journal_.places.push_back(
            {f.staged, mat.name + "/" + f.storedName, std::to_string(++index) + ".old",
             folder.valid() && folder.entry(f.storedName).kind == EntryKind::File,
             staging.entry(f.staged).identity});
    }
    // The list first, the stored copy last: its rename is the commit.
    for (const char* own : {kMaterialsListName, kStoredCopyName})
        journal_.places.push_back({own, own, std::string(own) + ".old",
                                   package.entry(own).kind == EntryKind::File,
                                   staging.entry(own).identity});
    journal_.clean = cleanupLines();
    if (!staging.writeNewFile(kJournalName, JournalText(journal_), error))
        return failWrite(error);

    std::vector<fs::path> files;
    for (const JournalPlace& p : journal_.places)
        files.push_back(staging.path() / platform::PathFromUtf8(p.staged));
    files.push_back(staging.path() / kJournalName);
    if (!platform::SyncAll(files, {staging.path()}))
        return failWrite(SaveProblem::FlushFailed);
    return true;
}

// The backups of the files that the renames up to `end` replace, made as hard
// links and flushed before the first rename; false where the file system has
// no hard links (then each is made as its rename comes).
bool PackageWriter::makeBackups(const SaveScope& scope, std::size_t end,
                                std::vector<bool>& backedUp) {
    backedUp.assign(journal_.places.size(), false);
    bool any = false;
    for (std::size_t i = 0; i < end; ++i) {
        const JournalPlace& p = journal_.places[i];
        if (!p.existed)
            continue;
        const std::size_t slash = p.target.find('/');
        std::error_code error;
        const FolderHandle* folder = &scope.package();
        if (slash != std::string::npos)
            folder = materialFolder(scope, p.target.substr(0, slash), false, error);
        const std::string name = slash == std::string::npos ? p.target : p.target.substr(slash + 1);
        if (!folder || !folder->hardLink(name, scope.staging(), p.backup, error))
            break;
        backedUp[i] = any = true;
    }
    return !any || scope.staging().sync();
}

// The material's folder in the package, opened once for all its renames (and
// made first when `make` and it is missing); null when it cannot be had.
const FolderHandle* PackageWriter::materialFolder(const SaveScope& scope,
                                                  const std::string& material, bool make,
                                                  std::error_code& error) {
    if (const auto it = placeFolders_.find(material); it != placeFolders_.end())
        return &it->second;
    const FolderHandle& package = scope.package();
    if (make && package.entry(material).kind == EntryKind::Missing &&
        !package.makeFolder(material, error))
        return nullptr;
    FolderHandle folder = package.openFolder(material, error);
    if (!folder.valid())
        return nullptr;
    return &placeFolders_.emplace(material, std::move(folder)).first->second;
}

// One rename of the journal, after the backup of the file it replaces (as a
// hard link made before, or here: the file renamed into the staging folder,
// or failing that copied there and flushed).
bool PackageWriter::place(const SaveScope& scope, std::size_t i, bool backedUp) {
    const JournalPlace& p = journal_.places[i];
    const FolderHandle& package = scope.package();
    const FolderHandle& staging = scope.staging();
    const std::size_t slash = p.target.find('/');
    const std::string name = slash == std::string::npos ? p.target : p.target.substr(slash + 1);
    std::error_code error;
    const FolderHandle* opened = &package;
    if (slash != std::string::npos) {
        opened = materialFolder(scope, p.target.substr(0, slash), true, error);
        if (!opened)
            return failWrite(error ? error : std::make_error_code(std::errc::io_error));
    }
    const FolderHandle& folder = *opened;
    bool moved = false; // the backup is the file itself, renamed away
    if (p.existed && !backedUp) {
        if (folder.rename(name, staging, p.backup, error)) {
            // On the disk before the copy takes its place.
            moved = true;
            if (!staging.sync())
                return failWrite(SaveProblem::FlushFailed);
        } else {
            error.clear();
            const fs::path target = folder.path() / platform::PathFromUtf8(name);
            const fs::path backup = staging.path() / platform::PathFromUtf8(p.backup);
            const platform::CopyResult copy =
                platform::CopyFileData(target, backup, request_.chunkBytes);
            if (!copy.ok() || !staging.syncFile(p.backup) || !staging.sync()) {
                staging.removeFile(p.backup, error);
                return copy.ok() ? failWrite(SaveProblem::FlushFailed) : failWrite(copy.error);
            }
        }
    }
    if (staging.rename(p.staged, folder, name, error))
        return true;
    std::error_code ignored;
    if (p.existed && !moved && !backedUp) // the target is untouched: its backup is not needed
        staging.removeFile(p.backup, ignored);
    return failWrite(error);
}

// Renames the copies up to `end` onto their standard names. The previous
// stored copy is still the package; the journal can put every name back.
bool PackageWriter::placeAll(const SaveScope& scope, std::size_t end) {
    std::vector<bool> backedUp;
    if (!makeBackups(scope, end, backedUp))
        return failWrite(SaveProblem::FlushFailed);
    for (std::size_t i = 0; i < end; ++i) {
        stages_.notify(i + 2 < journal_.places.size() ? SaveStage::Place : SaveStage::Commit,
                       journal_.places[i].target);
        if (!place(scope, i, backedUp[i]))
            return false;
    }
    return true;
}

SaveOutcome PackageWriter::rolledBack(SaveScope& scope) {
    stuck_ = RollBack(scope.package(), scope.staging(), journal_);
    if (!stuck_.empty())
        scope.keepStaging(); // the next repair tries again
    return finish(SaveStatus::WriteFailed);
}

SaveOutcome PackageWriter::finish(SaveStatus status) {
    SaveOutcome outcome;
    outcome.status = status;
    outcome.repair = repair_;
    outcome.setAside = setAside_;
    outcome.lockHolder = lockAttempt_.holder;
    if (status == SaveStatus::LockRefused)
        outcome.lockProblem = lockAttempt_.kind.empty()
                                  ? lockAttempt_.error.message()
                                  : std::string(kPackageLockName) + "是" + lockAttempt_.kind;
    if (status == SaveStatus::WriteFailed) {
        outcome.writeProblem = writeProblem_;
        outcome.stuck = stuck_;
        if (writeProblem_ == SaveProblem::DiskFull) {
            std::error_code error;
            outcome.neededBytes = totalBytes_;
            outcome.freeBytes = fs::space(folder_, error).available;
        }
    }
    if (status != SaveStatus::Saved)
        return outcome;
    for (const PlannedFile& f : files_)
        if (f.action == FileAction::Fail)
            outcome.failures.push_back({materials_[f.material].name, f.label, f.source, f.problem,
                                        NameDetail(materials_[f.material].name, f)});
    return outcome;
}

// The folder's lock, and the repair of an interrupted earlier save. A repair
// that fails does not block this save, which rewrites the whole package: the
// old staging folder is set aside, with its backups, under a name the user
// can find. Returns a status other than Saved when the save cannot go on.
SaveOutcome PackageWriter::lockAndRepair(SaveScope& scope) {
    using Outcome = platform::InstanceLock::Outcome;
    lockAttempt_ = scope.lock(folder_);
    switch (lockAttempt_.outcome) {
    case Outcome::Acquired:
        break;
    case Outcome::HeldElsewhere:
        return finish(SaveStatus::Busy);
    case Outcome::OtherHost:
        return finish(SaveStatus::ForeignLock);
    case Outcome::Refused:
        return finish(SaveStatus::LockRefused);
    case Outcome::Unavailable:
        return finish(platform::IsReadOnlyFolder(folder_) ? SaveStatus::FolderNotWritable
                                                          : SaveStatus::LockRefused);
    }
    repair_ = RepairLocked(scope.package());
    if (repair_.result == RepairResult::Failed || repair_.result == RepairResult::Refused) {
        std::error_code error;
        for (const std::string& name : scope.package().list(error)) {
            if (!IsStagingFolderName(name))
                continue;
            std::string aside = kSetAsidePrefix + LocalTimeText();
            for (int n = 2; scope.package().entry(aside).kind != EntryKind::Missing; ++n)
                aside = kSetAsidePrefix + LocalTimeText() + "-" + std::to_string(n);
            std::error_code renameError;
            if (!scope.package().rename(name, scope.package(), aside, renameError))
                return finish(SaveStatus::Interrupted);
            setAside_ = aside;
        }
        scope.package().sync();
    }
    return finish(SaveStatus::Saved);
}

SaveOutcome PackageWriter::run() {
    XmlDocument doc;
    // A document that is no manifest would be stored as a package that the
    // check cannot read.
    if (!doc.load(request_.workPath) || doc.documentElement().name() != "offer")
        return finish(SaveStatus::Unreadable);
    // The summaries come from the database: read before anything is written.
    const std::string head = ListHead(request_.summary ? request_.summary : DefaultSummary());
    if (request_.shownFolder.empty())
        return finish(SaveStatus::FolderNotWritable);

    SaveScope scope(stages_); // released before the observer hears the end
    if (!scope.openPackage(folder_))
        return finish(SaveStatus::FolderNotWritable);
    if (SaveOutcome locked = lockAndRepair(scope); !locked.saved())
        return locked;
    std::error_code error;
    if (!scope.makeStaging(error))
        return finish(SaveStatus::FolderNotWritable);
    readPrevious(scope.package());
    stages_.begin();

    plan(doc);
    const CopyEnd copied = copyAll(scope);
    if (copied != CopyEnd::Done)
        return finish(copied == CopyEnd::Cancelled ? SaveStatus::Cancelled
                                                   : SaveStatus::WriteFailed);
    rewriteLinks();
    if (!stagePackageFiles(scope, doc, head))
        return finish(SaveStatus::WriteFailed);

    // From the first rename on, a failure puts the previous package back.
    const std::size_t commit = journal_.places.size() - 1;
    if (!placeAll(scope, commit))
        return rolledBack(scope);
    // Every file and the list in place and on the disk before the commit.
    std::set<fs::path> folders{scope.package().path(), scope.staging().path()};
    for (std::size_t i = 0; i < commit; ++i)
        if (const std::size_t slash = journal_.places[i].target.find('/');
            slash != std::string::npos)
            folders.insert(folder_ /
                           platform::PathFromUtf8(journal_.places[i].target.substr(0, slash)));
    if (!platform::SyncAll({}, {folders.begin(), folders.end()})) {
        failWrite(SaveProblem::FlushFailed);
        return rolledBack(scope);
    }
    stages_.notify(SaveStage::Commit, kStoredCopyName);
    if (!place(scope, commit, false))
        return rolledBack(scope);
    if (!scope.package().sync()) {
        failWrite(SaveProblem::FlushFailed);
        return rolledBack(scope);
    }

    FinishCleanup(scope.package(), journal_.clean, previousKeys_, storedKeys_,
                  [this](const std::string& name) { stages_.notify(SaveStage::Clean, name); });
    scope.dropStaging();
    return finish(SaveStatus::Saved);
}

} // namespace

SaveOutcome SavePackage(const SaveRequest& request, SaveObserver* observer) {
    return PackageWriter(request, observer).run();
}

} // namespace materials
