#include "materials/save_folder.h"

#include "fieldforms/field_queries.h"
#include "materials/manifest.h"
#include "materials/modfjgl.h"
#include "platform/db.h"
#include "platform/file_copy.h"
#include "platform/gbk.h"
#include "platform/instance_lock.h"
#include "platform/prompter.h"
#include "platform/utf8.h"
#include "platform/xmldoc.h"
#include "startup/mainbas.h"
#include "util/convert.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <system_error>
#include <utility>

#include <cerrno>

namespace materials {
namespace {

namespace fs = std::filesystem;
using platform::XmlDocument;
using platform::XmlNode;

std::string ChildText(const XmlNode& node, const char* xpath) {
    return node.selectSingleNode(xpath).text();
}

std::vector<XmlNode> MaterialNodes(const XmlDocument& doc) {
    const XmlNode root = doc.documentElement();
    if (root.name() != "offer")
        return {};
    return root.selectNodes(".//attachments//attachment");
}

// Only a link that starts with the prefix is a stored file's link.
bool HasLocalPrefix(const std::string& link) {
    return IsStoredLink(link);
}

// Names compare by the one name rule (full Unicode case folding), so two
// entries can never claim names that are one file on the disc.
std::string NameKey(const std::string& name) {
    return materials::NameKey(std::string_view(name));
}

// fileName and the source's extension; a source without an extension is
// stored under fileName alone, as a name ending in a dot would be renamed by
// Windows.
std::string StandardName(const std::string& baseName, const std::string& extension) {
    return extension.empty() ? baseName : baseName + "." + extension;
}

// The package's own files: no material may be named like them.
bool IsPackageFileName(const std::string& name) {
    for (const char* own :
         {kStoredCopyName, kMaterialsListName, kStagingFolderName, kPackageLockName})
        if (SameName(name, own))
            return true;
    return false;
}

bool IsRealFolder(const fs::path& path) {
    std::error_code error;
    return fs::is_directory(fs::symlink_status(path, error));
}

bool IsRealFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(fs::symlink_status(path, error));
}

// The lines of "材料清单.txt" before the files: both summaries.
std::string ListHead(const SummaryWriter& summary) {
    fieldforms::TextLines lines;
    lines.WriteLine("行政审批申请书：");
    summary(fieldforms::kApplicationForm, lines);
    lines.WriteLine("");
    lines.WriteLine("项目基本信息：");
    summary(fieldforms::kBasicInformation, lines);
    lines.WriteLine("");
    lines.WriteLine("上报材料清单：");
    return lines.text();
}

SummaryWriter DefaultSummary() {
    return [](int mode, fieldforms::LineWriter& writer) {
        fieldforms::WriteApplicationSummary(mode, writer);
    };
}

// One line per stored file that is really in its folder, numbered across the
// package, in manifest order.
std::string ListedFiles(const XmlDocument& doc, const fs::path& folder) {
    fieldforms::TextLines lines;
    int n = 0;
    for (const XmlNode& material : MaterialNodes(doc)) {
        const std::string name = ChildText(material, ".//fjmc");
        for (const XmlNode& file : material.selectNodes(".//fileList//file")) {
            const std::string link = ChildText(file, ".//fileUrl");
            if (!HasLocalPrefix(link))
                continue;
            const std::string stored = LinkWithoutPrefix(link);
            if (!IsStorableName(name) || !IsStorableName(stored) ||
                !IsRealFile(folder / util::PathFromUtf8(name) / util::PathFromUtf8(stored)))
                continue;
            lines.WriteLine(std::to_string(++n) + "、" + stored);
        }
    }
    return lines.text();
}

// ---- the journal of a save, and the repair of an interrupted one ----

// One rename of a save: a file of the staging folder onto its place in the
// package, and the backup of the file it replaces (made just before).
struct JournalEntry {
    std::string staged; // name in the staging folder
    std::string target; // place in the package: "name" or "material/name"
    std::string backup; // name in the staging folder of the replaced file's backup
    bool existed = false;
};

constexpr const char* kJournalHead = "quillor-save 1";
constexpr const char* kCommitNoteName = "commit";

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> parts;
    std::size_t at = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', at);
        parts.push_back(line.substr(at, tab - at));
        if (tab == std::string::npos)
            return parts;
        at = tab + 1;
    }
}

// The lines of a text file that ends with the line "end"; false when it is
// missing, unreadable or cut short.
bool ReadComplete(const fs::path& path, std::vector<std::string>& lines) {
    lines.clear();
    if (!IsRealFile(path))
        return false;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (line == "end")
            return true;
        lines.push_back(line);
    }
    return false;
}

bool WritePlain(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return static_cast<bool>(out);
}

// A place named by a journal: one plain name, or a material and a plain name.
bool SafeRelative(const std::string& relative) {
    const std::size_t slash = relative.find('/');
    if (slash == std::string::npos)
        return IsStorableName(relative);
    return relative.find('/', slash + 1) == std::string::npos &&
           IsStorableName(relative.substr(0, slash)) && IsStorableName(relative.substr(slash + 1));
}

fs::path Resolve(const fs::path& folder, const std::string& relative) {
    const std::size_t slash = relative.find('/');
    if (slash == std::string::npos)
        return folder / util::PathFromUtf8(relative);
    return folder / util::PathFromUtf8(relative.substr(0, slash)) /
           util::PathFromUtf8(relative.substr(slash + 1));
}

std::string JournalText(const std::vector<JournalEntry>& entries,
                        const std::vector<std::string>& made) {
    std::string text = std::string(kJournalHead) + "\n";
    for (const std::string& folder : made)
        text += "M\t" + folder + "\n";
    for (const JournalEntry& e : entries)
        text += "P\t" + e.staged + "\t" + e.target + "\t" + e.backup + "\t" +
                (e.existed ? "1" : "0") + "\n";
    return text + "end\n";
}

// The entries of a complete journal whose every name is safe; false otherwise
// (then no rename was ever made: the journal is flushed before the first).
bool ReadJournal(const fs::path& staging, std::vector<JournalEntry>& entries,
                 std::vector<std::string>& made) {
    std::vector<std::string> lines;
    entries.clear();
    made.clear();
    if (!ReadComplete(staging / kJournalName, lines) || lines.empty() || lines[0] != kJournalHead)
        return false;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> p = SplitTabs(lines[i]);
        if (p.size() == 2 && p[0] == "M" && IsStorableName(p[1])) {
            made.push_back(p[1]);
            continue;
        }
        if (p.size() != 5 || p[0] != "P" || !IsStorableName(p[1]) || !SafeRelative(p[2]) ||
            !IsStorableName(p[3]))
            return false;
        entries.push_back({p[1], p[2], p[3], p[4] == "1"});
    }
    return true;
}

// Puts back what the renames of the journal changed, last first: a replaced
// file gets its backup, a new file goes. Safe to run again after a kill.
// Returns the places that still hold new content.
std::vector<std::string> RollBackEntries(const fs::path& folder, const fs::path& staging,
                                         const std::vector<JournalEntry>& entries,
                                         const std::vector<std::string>& made) {
    std::error_code error;
    // Once rolling back, the new package can never be taken as finished.
    fs::remove(staging / kCommitNoteName, error);
    std::vector<std::string> stuck;
    for (auto e = entries.rbegin(); e != entries.rend(); ++e) {
        const fs::path target = Resolve(folder, e->target);
        const fs::path backup = staging / util::PathFromUtf8(e->backup);
        const fs::path staged = staging / util::PathFromUtf8(e->staged);
        std::error_code probe;
        error.clear();
        if (IsRealFile(backup)) {
            fs::rename(backup, target, error);
        } else if (!e->existed && !fs::exists(fs::symlink_status(staged, probe)) &&
                   IsRealFile(target)) {
            fs::remove(target, error);
        }
        if (error)
            stuck.push_back(e->target);
    }
    for (const std::string& name : made) // material folders the save made, when empty again
        if (IsRealFolder(folder / util::PathFromUtf8(name)))
            fs::remove(folder / util::PathFromUtf8(name), error);
    std::vector<fs::path> folders{folder};
    for (const JournalEntry& e : entries)
        if (e.target.find('/') != std::string::npos)
            folders.push_back(Resolve(folder, e.target).parent_path());
    platform::SyncAll({}, folders);
    return stuck;
}

// The clean-up that the commit note names: earlier copies, then folders
// that are empty afterwards. Safe to run again after a kill.
void FinishCommit(const fs::path& folder, const std::vector<std::string>& note,
                  const std::function<void(const std::string&)>& notify = {}) {
    std::error_code error;
    for (const std::string& line : note) {
        const std::vector<std::string> p = SplitTabs(line);
        if (p.size() != 2 || !SafeRelative(p[1]))
            continue;
        const fs::path path = Resolve(folder, p[1]);
        if (p[0] == "D" && IsRealFile(path)) {
            if (notify)
                notify(util::PathToUtf8(path.filename()));
            fs::remove(path, error);
        } else if (p[0] == "R" && IsRealFolder(path)) {
            if (notify)
                notify(util::PathToUtf8(path.filename()));
            fs::remove(path, error); // only an empty folder goes
        }
    }
}

// Removes a staging folder whose content nothing needs: the journal first, so
// that a kill meanwhile leaves nothing that looks needed.
void RemoveStaging(const fs::path& staging) {
    std::error_code error;
    fs::remove(staging / kJournalName, error);
    if (!DeleteFolderTree(util::PathToUtf8(staging)))
        fs::remove(staging, error); // a file of that name
}

// The repair, with the folder's lock held.
PackageRepair RepairLocked(const fs::path& folder) {
    PackageRepair repair;
    const fs::path staging = folder / kStagingFolderName;
    std::error_code error;
    if (!fs::exists(fs::symlink_status(staging, error)))
        return repair;
    std::vector<JournalEntry> entries;
    std::vector<std::string> made;
    if (!IsRealFolder(staging) || !ReadJournal(staging, entries, made)) {
        RemoveStaging(staging); // copies of a save that renamed nothing
        return repair;
    }
    std::vector<std::string> note;
    if (ReadComplete(staging / kCommitNoteName, note) &&
        !fs::exists(fs::symlink_status(staging / kStoredCopyName, error)) &&
        IsRealFile(folder / kStoredCopyName)) {
        FinishCommit(folder, note);
        repair.result = RepairResult::Finished;
    } else {
        repair.stuck = RollBackEntries(folder, staging, entries, made);
        repair.result = repair.stuck.empty() ? RepairResult::RolledBack : RepairResult::Failed;
    }
    if (repair.result != RepairResult::Failed)
        RemoveStaging(staging);
    return repair;
}

bool FolderIsReadOnly(const fs::path& folder) {
    return platform::IsReadOnlyFolder(folder);
}

// The lock of a package folder, or null with the reason.
std::unique_ptr<platform::InstanceLock> LockFolder(const fs::path& folder,
                                                   platform::InstanceLock::Outcome& outcome) {
    outcome = platform::InstanceLock::Outcome::Unavailable;
    return platform::InstanceLock::TryAcquire(folder / kPackageLockName, &outcome);
}

// ---- the save ----

enum class Action { None, Copy, Carry, Keep, Fail };

struct Material {
    std::string name;
    fs::path folder;
    bool usable = false;  // the name can be a folder of the package
    bool emptied = false; // dzjs reads 0: its folder goes after the save
    bool recount = false; // a link was left empty: dzjs is counted again
    XmlNode count;        // its dzjs element
};

struct Work {
    std::size_t material = 0;
    XmlNode url;
    std::string label;
    std::string source;
    fs::path from;
    std::string storedName; // standard name (Copy) or the stored name (Carry, Keep)
    std::string baseName;   // fileName, whose earlier copies a stored file replaces
    std::uint64_t bytes = 0;
    Action action = Action::None;
    SaveProblem problem = SaveProblem::WriteFailed;
    fs::path staged;

    void fail(SaveProblem why) {
        action = Action::Fail;
        problem = why;
    }
};

// Sends the end of the save to the observer whatever way the save leaves.
class StageScope {
  public:
    explicit StageScope(SaveObserver* observer) : observer_(observer) {}
    ~StageScope() {
        if (begun_ && observer_)
            observer_->stage(SaveStage::End, {});
    }
    StageScope(const StageScope&) = delete;
    StageScope& operator=(const StageScope&) = delete;
    void begin() {
        begun_ = true;
        notify(SaveStage::Begin, {});
    }
    void notify(SaveStage stage, const std::string& name) const {
        if (observer_)
            observer_->stage(stage, name);
    }
    void copied(std::uint64_t done, std::uint64_t total) const {
        if (observer_)
            observer_->copied(done, total);
    }
    bool cancelled() const { return observer_ && observer_->cancelRequested(); }

  private:
    SaveObserver* observer_;
    bool begun_ = false;
};

// The staging folder inside the package folder; removed when the save leaves,
// unless a rollback could not finish (then the next repair needs it).
class Staging {
  public:
    explicit Staging(fs::path path) : path_(std::move(path)) {}
    ~Staging() {
        if (!keep_)
            RemoveStaging(path_);
    }
    Staging(const Staging&) = delete;
    Staging& operator=(const Staging&) = delete;

    // False when it cannot be made, or is there already (then it is left alone).
    bool create() {
        std::error_code error;
        if (fs::create_directory(path_, error) && !error)
            return true;
        keep_ = true;
        return false;
    }
    void keep() { keep_ = true; }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
    bool keep_ = false;
};

// Folders this save made, removed again (when still empty) if it is cancelled.
class MadeFolders {
  public:
    // Makes the folder and every missing folder above it.
    bool make(const fs::path& folder) {
        std::vector<fs::path> missing;
        std::error_code error;
        for (fs::path p = folder; !p.empty() && !fs::exists(fs::symlink_status(p, error));
             p = p.parent_path()) {
            missing.push_back(p);
            if (p == p.parent_path())
                break;
        }
        MakePath(util::PathToUtf8(folder));
        made_.insert(made_.end(), missing.rbegin(), missing.rend());
        return IsRealFolder(folder);
    }
    void removeEmpty() const {
        std::error_code error;
        for (auto p = made_.rbegin(); p != made_.rend(); ++p)
            fs::remove(*p, error); // only an empty folder goes
    }

  private:
    std::vector<fs::path> made_; // in the order they were made
};

class PackageWriter {
  public:
    PackageWriter(const SaveRequest& request, SaveObserver* observer)
        : request_(request), scope_(observer), folder_(util::PathFromUtf8(request.shownFolder)),
          storage_(util::PathFromUtf8(request.storageFolder)) {}

    SaveOutcome run();

  private:
    enum class CopyEnd { Done, Cancelled, Failed };
    void readPrevious();
    void plan(const XmlDocument& doc);
    void planEntry(std::size_t m, const XmlNode& file);
    void planStored(Work& w, const Material& mat, const std::string& link);
    bool claim(const Material& mat, const std::string& name);
    bool isClaimed(const Material& mat, const std::string& name) const;
    bool wasStored(const Material& mat, const std::string& name) const;
    bool isSource(const fs::path& path) const;
    void addSource(const fs::path& path);
    CopyEnd copyAll(const fs::path& staging);
    bool failWrite(SaveProblem problem);
    bool failWrite(const std::error_code& error);
    void journal();
    bool placeAll(const fs::path& staging);
    bool place(const JournalEntry& e, const fs::path& staging);
    void rewriteLinks();
    void earlierCopies(const Material& mat, const std::string& baseName,
                       std::vector<std::string>& note);
    void consider(const Material& mat, const fs::path& file, std::vector<std::string>& note);
    std::vector<std::string> commitNote();
    SaveOutcome finish(SaveStatus status);

    const SaveRequest& request_;
    StageScope scope_;
    fs::path folder_;
    fs::path storage_;
    std::vector<Material> materials_;
    std::vector<Work> works_;
    std::vector<std::pair<std::size_t, std::string>> clearedNames_; // material, fileName
    std::vector<std::pair<std::size_t, std::string>> released_; // material, an earlier stored name
    std::map<std::string, std::set<std::string>> claims_;       // folder key → name keys
    std::map<std::string, std::set<std::string>> previous_;     // stored by the previous copy
    std::set<fs::path> sources_;                                // sources of this save
    std::set<std::string> doomedKeys_;
    std::set<fs::path> placedIn_; // folders that received files
    std::vector<JournalEntry> entries_;
    std::vector<std::string> madeFolders_; // material folders the renames make
    std::uint64_t totalBytes_ = 0;
    // A failure on the destination side: the whole save is rolled back.
    SaveProblem writeProblem_ = SaveProblem::WriteFailed;
    std::vector<std::string> stuck_;
};

bool PackageWriter::claim(const Material& mat, const std::string& name) {
    return claims_[NameKey(mat.name)].insert(NameKey(name)).second;
}

bool PackageWriter::isClaimed(const Material& mat, const std::string& name) const {
    const auto found = claims_.find(NameKey(mat.name));
    return found != claims_.end() && found->second.contains(NameKey(name));
}

bool PackageWriter::wasStored(const Material& mat, const std::string& name) const {
    const auto found = previous_.find(NameKey(mat.name));
    return found != previous_.end() && found->second.contains(NameKey(name));
}

void PackageWriter::addSource(const fs::path& path) {
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(path, error);
    sources_.insert(error ? path : canonical);
}

bool PackageWriter::isSource(const fs::path& path) const {
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(path, error);
    return sources_.contains(error ? path : canonical);
}

// The files that the folder's stored copy linked when the save started: the
// only ones the save may remove.
void PackageWriter::readPrevious() {
    const fs::path stored = folder_ / kStoredCopyName;
    XmlDocument doc;
    if (!IsRealFile(stored) || !doc.load(stored))
        return;
    for (const XmlNode& material : MaterialNodes(doc)) {
        const std::string name = ChildText(material, ".//fjmc");
        for (const XmlNode& file : material.selectNodes(".//fileList//file")) {
            const std::string link = ChildText(file, ".//fileUrl");
            if (HasLocalPrefix(link))
                previous_[NameKey(name)].insert(NameKey(LinkWithoutPrefix(link)));
        }
    }
}

void PackageWriter::plan(const XmlDocument& doc) {
    std::map<std::string, std::string> spelled; // material key → the first name spelled so
    for (const XmlNode& node : MaterialNodes(doc)) {
        Material mat;
        mat.name = ChildText(node, ".//fjmc");
        mat.usable = IsStorableName(mat.name) && !IsPackageFileName(mat.name) &&
                     spelled.emplace(NameKey(mat.name), mat.name).first->second == mat.name;
        mat.folder = folder_ / util::PathFromUtf8(mat.name);
        // A material without dzjs keeps its folder: only a count of 0 empties it.
        mat.count = node.selectSingleNode(".//dzjs");
        mat.emptied =
            mat.usable && !mat.count.isNull() && util::LeadingNumber(mat.count.text()) == 0;
        materials_.push_back(std::move(mat));
        const std::size_t m = materials_.size() - 1;
        for (const XmlNode& file : node.selectNodes(".//fileList//file"))
            planEntry(m, file);
    }
}

void PackageWriter::planEntry(std::size_t m, const XmlNode& file) {
    const Material& mat = materials_[m];
    Work w;
    w.material = m;
    w.url = file.selectSingleNode(".//fileUrl");
    const std::string link = w.url.text();
    const std::string baseName = ChildText(file, ".//fileName");
    w.label = baseName.empty() ? "第" + ChildText(file, ".//fileXh") + "个报件" : baseName;
    w.source = link;

    std::error_code error;
    const fs::path linked = util::PathFromUtf8(link);
    if (link.empty()) {
        // A cleared link: earlier copies of the entry go after the save.
        if (mat.usable && IsStorableName(baseName))
            clearedNames_.emplace_back(m, baseName);
        return;
    }
    // The prefix is decided before any file test: a stored link is never
    // tested as a path, and no link is resolved against the current folder.
    if (!HasLocalPrefix(link) && linked.is_absolute())
        addSource(linked); // never removed by this save, even when the entry fails
    if (!mat.usable) {
        w.fail(SaveProblem::MaterialName);
    } else if (HasLocalPrefix(link)) {
        w.baseName = baseName;
        planStored(w, mat, link);
    } else if (!linked.is_absolute()) {
        w.fail(SaveProblem::BadStoredLink);
    } else if (fs::is_regular_file(linked, error)) {
        w.storedName = StandardName(baseName, GetExtension(link));
        if (!IsStorableName(baseName) || !IsStorableName(w.storedName) ||
            !PathProblem(mat.name, w.storedName).empty()) {
            w.baseName = baseName;
            w.fail(SaveProblem::EntryName);
        } else if (!claim(mat, w.storedName)) {
            w.fail(SaveProblem::DuplicateName);
        } else {
            w.action = Action::Copy;
            w.from = linked;
            w.baseName = baseName;
            w.bytes = fs::file_size(linked, error);
        }
    } else if (fs::exists(linked, error)) {
        w.fail(SaveProblem::SourceNotAFile);
    } else {
        w.fail(SaveProblem::SourceMissing);
    }
    works_.push_back(std::move(w));
}

// A link to a file stored by an earlier save: kept where it is, or carried
// over from the earlier folder when a new folder was chosen. An entry whose
// standard name changed since (a title typed after the save) gets its file
// under the new name; the old one goes after the save.
void PackageWriter::planStored(Work& w, const Material& mat, const std::string& link) {
    w.storedName = LinkWithoutPrefix(link);
    if (!IsStorableName(w.storedName) || !PathProblem(mat.name, w.storedName).empty()) {
        w.fail(SaveProblem::BadStoredLink);
        return;
    }
    const fs::path name = util::PathFromUtf8(mat.name);
    const fs::path stored = util::PathFromUtf8(w.storedName);
    const std::string renamed = StandardName(w.baseName, GetExtension(w.storedName));
    const bool rename = IsStorableName(w.baseName) && IsStorableName(renamed) &&
                        NameKey(renamed) != NameKey(w.storedName);
    if (request_.shownFolder != request_.storageFolder || rename) {
        const bool here = request_.shownFolder == request_.storageFolder;
        const fs::path from = here ? mat.folder / stored : storage_ / name / stored;
        w.source = util::PathToUtf8(from);
        if (request_.storageFolder.empty() || !IsRealFolder(from.parent_path()) ||
            !IsRealFile(from))
            return w.fail(SaveProblem::StoredFileMissing);
        const std::string old = w.storedName;
        if (rename)
            w.storedName = renamed;
        if (!claim(mat, w.storedName))
            return w.fail(SaveProblem::DuplicateName);
        if (rename && here)
            released_.emplace_back(w.material, old); // the save's own file, not a source
        std::error_code error;
        w.action = Action::Carry;
        w.from = from;
        w.bytes = fs::file_size(from, error);
    } else {
        const fs::path here = mat.folder / stored;
        w.source = util::PathToUtf8(here);
        if (!IsRealFolder(mat.folder) || !IsRealFile(here))
            return w.fail(SaveProblem::StoredFileMissing);
        if (!claim(mat, w.storedName))
            return w.fail(SaveProblem::DuplicateName);
        w.action = Action::Keep;
    }
}

bool PackageWriter::failWrite(SaveProblem problem) {
    writeProblem_ = problem;
    return false;
}

// What an error of the destination says about it.
bool PackageWriter::failWrite(const std::error_code& error) {
    if (error == std::errc::no_space_on_device || error == std::errc::file_too_large
#ifndef _WIN32
        || error.value() == EDQUOT
#endif
    )
        return failWrite(SaveProblem::DiskFull);
    if (error == std::errc::read_only_file_system || error == std::errc::permission_denied ||
        error == std::errc::operation_not_permitted)
        return failWrite(SaveProblem::ReadOnly);
    return failWrite(SaveProblem::WriteFailed);
}

// Copies every file into the staging folder. A source that cannot be read
// fails its entry; a destination that cannot be written fails the save.
PackageWriter::CopyEnd PackageWriter::copyAll(const fs::path& staging) {
    std::uint64_t total = 0;
    for (const Work& w : works_)
        if (w.action == Action::Copy || w.action == Action::Carry)
            total += w.bytes;
    totalBytes_ = total;
    std::uint64_t done = 0;
    int index = 0;
    for (Work& w : works_) {
        if (w.action != Action::Copy && w.action != Action::Carry)
            continue;
        if (scope_.cancelled())
            return CopyEnd::Cancelled;
        scope_.notify(SaveStage::Copy, w.storedName);
        const Material& mat = materials_[w.material];
        std::error_code error;
        if (!IsRealFolder(mat.folder) && fs::exists(fs::symlink_status(mat.folder, error))) {
            w.fail(SaveProblem::FolderNotMade); // a file (or link) of that name
            continue;
        }
        w.staged = staging / (std::to_string(++index) + ".part");
        const std::uint64_t before = done;
        const platform::CopyResult result =
            platform::CopyFileData(w.from, w.staged, request_.chunkBytes, [&](std::uint64_t n) {
                done = before + n;
                scope_.copied(done, std::max(total, done));
            });
        if (result.ok())
            continue;
        fs::remove(w.staged, error);
        w.staged.clear();
        if (result.failure == platform::CopyResult::Failure::Read)
            w.fail(SaveProblem::SourceUnreadable);
        else if (result.failure == platform::CopyResult::Failure::Changed)
            w.fail(SaveProblem::SourceChanged);
        else
            return failWrite(result.error), CopyEnd::Failed;
    }
    if (scope_.cancelled())
        return CopyEnd::Cancelled;
    return CopyEnd::Done;
}

// The renames to come, each with the backup of what it replaces: the stored
// files, then the list, then the stored copy.
void PackageWriter::journal() {
    int index = 0;
    std::set<std::string> made;
    for (const Work& w : works_) {
        if ((w.action != Action::Copy && w.action != Action::Carry) || w.staged.empty())
            continue;
        const Material& mat = materials_[w.material];
        if (!IsRealFolder(mat.folder) && made.insert(NameKey(mat.name)).second)
            madeFolders_.push_back(mat.name);
        const std::string target = mat.name + "/" + w.storedName;
        entries_.push_back({util::PathToUtf8(w.staged.filename()), target,
                            std::to_string(++index) + ".old",
                            IsRealFile(Resolve(folder_, target))});
    }
    for (const char* own : {kMaterialsListName, kStoredCopyName})
        entries_.push_back({own, own, std::string(own) + ".old", IsRealFile(folder_ / own)});
}

// One rename of the journal. The file it replaces is kept in the staging
// folder first: as a hard link, or where the file system has none, renamed
// there (or, failing that, copied); the rename itself replaces atomically.
bool PackageWriter::place(const JournalEntry& e, const fs::path& staging) {
    const fs::path target = Resolve(folder_, e.target);
    const fs::path backup = staging / util::PathFromUtf8(e.backup);
    std::error_code error;
    const bool inMaterial = e.target.find('/') != std::string::npos; // else in F itself
    if (inMaterial && !IsRealFolder(target.parent_path()) &&
        !fs::create_directory(target.parent_path(), error))
        return failWrite(error ? error : std::make_error_code(std::errc::io_error));
    bool moved = false; // the backup is the file itself, renamed away
    if (e.existed && !platform::MakeHardLink(target, backup, error)) {
        error.clear();
        fs::rename(target, backup, error);
        moved = !error;
        if (error) {
            error.clear();
            const platform::CopyResult copy =
                platform::CopyFileData(target, backup, request_.chunkBytes);
            if (!copy.ok() || !platform::SyncFile(backup)) {
                fs::remove(backup, error);
                return copy.ok() ? failWrite(SaveProblem::FlushFailed) : failWrite(copy.error);
            }
        }
    }
    fs::rename(staging / util::PathFromUtf8(e.staged), target, error);
    if (!error)
        return true;
    std::error_code ignored;
    if (e.existed && !moved) // the target is untouched: its backup is not needed
        fs::remove(backup, ignored);
    return failWrite(error);
}

// Renames the copies onto their standard names. The previous stored copy
// is still the package; the journal can put every name back.
bool PackageWriter::placeAll(const fs::path& staging) {
    for (std::size_t i = 0; i + 2 < entries_.size(); ++i) {
        scope_.notify(SaveStage::Place, entries_[i].target);
        if (!place(entries_[i], staging))
            return false;
        placedIn_.insert(Resolve(folder_, entries_[i].target).parent_path());
    }
    return true;
}

// The stored copy's links: stored files in the local form, failed entries
// empty (a stored copy never links outside its own folder), and the count of
// a material that lost a link counted again.
void PackageWriter::rewriteLinks() {
    std::vector<platform::XmlEdit> edits;
    std::vector<int> linked(materials_.size(), 0);
    for (const Work& w : works_) {
        if (w.action == Action::Fail) {
            edits.push_back({w.url, ""});
            materials_[w.material].recount = true;
        } else if (w.action != Action::None) {
            edits.push_back({w.url, std::string(kLocalPrefix) + w.storedName});
            ++linked[w.material];
        }
    }
    for (std::size_t m = 0; m < materials_.size(); ++m)
        if (materials_[m].recount)
            edits.push_back({materials_[m].count, std::to_string(linked[m])});
    // All from what was read before: an element of a hostile manifest may lie
    // inside another one that is rewritten, and the edits go deepest first.
    platform::ApplyEdits(std::move(edits));
}

// A file of a material's folder goes only when the previous stored copy
// linked it there, the new package does not use its name and it is no
// source of this save.
void PackageWriter::consider(const Material& mat, const fs::path& file,
                             std::vector<std::string>& note) {
    const std::string name = util::PathToUtf8(file.filename());
    if (!wasStored(mat, name) || isClaimed(mat, name) || !IsRealFile(file) || isSource(file) ||
        !doomedKeys_.insert(NameKey(mat.name) + "/" + NameKey(name)).second)
        return;
    note.push_back("D\t" + mat.name + "/" + name);
}

// Earlier copies of an entry: its fileName, a dot and one extension (no
// further dot), compared literally.
void PackageWriter::earlierCopies(const Material& mat, const std::string& baseName,
                                  std::vector<std::string>& note) {
    if (!IsRealFolder(mat.folder))
        return;
    const std::string prefix = baseName + ".";
    std::error_code error;
    for (fs::directory_iterator it(mat.folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = util::PathToUtf8(it->path().filename());
        if (name.starts_with(prefix) && name.find('.', prefix.size()) == std::string::npos)
            consider(mat, it->path(), note);
    }
}

// What the clean-up after the commit removes, as the commit note lists it.
std::vector<std::string> PackageWriter::commitNote() {
    std::vector<std::string> note;
    std::set<std::string> folders;
    for (const Work& w : works_)
        if (w.action == Action::Copy)
            earlierCopies(materials_[w.material], w.baseName, note);
    for (const auto& [m, baseName] : clearedNames_)
        earlierCopies(materials_[m], baseName, note);
    for (const auto& [m, old] : released_)
        consider(materials_[m], materials_[m].folder / util::PathFromUtf8(old), note);
    for (const Material& mat : materials_) {
        // A folder that the new package stores files in stays, whatever the count says.
        const auto claimed = claims_.find(NameKey(mat.name));
        if (!mat.emptied || (claimed != claims_.end() && !claimed->second.empty()) ||
            !IsRealFolder(mat.folder))
            continue;
        std::error_code error;
        for (fs::directory_iterator it(mat.folder, error), end; !error && it != end;
             it.increment(error))
            consider(mat, it->path(), note);
    }
    // A material folder goes when the clean-up leaves it empty.
    std::vector<std::string> removeIfEmpty;
    for (const std::string& line : note) {
        const std::string material = line.substr(2, line.find('/') - 2);
        if (folders.insert(NameKey(material)).second)
            removeIfEmpty.push_back("R\t" + material);
    }
    note.insert(note.end(), removeIfEmpty.begin(), removeIfEmpty.end());
    return note;
}

// Why a refused name cannot be kept, in the words of the name rule.
std::string NameDetail(const std::string& material, const Work& w) {
    switch (w.problem) {
    case SaveProblem::MaterialName:
        if (std::string problem = NameProblem(material); !problem.empty())
            return problem;
        return IsPackageFileName(material) ? "与申报资料自身的文件同名"
                                           : "与另一材料的名称只有大小写不同";
    case SaveProblem::EntryName:
    case SaveProblem::BadStoredLink:
        for (const std::string& name : {w.baseName, w.storedName})
            if (!name.empty())
                if (std::string problem = NameProblem(name); !problem.empty())
                    return problem;
        return w.storedName.empty() ? std::string() : PathProblem(material, w.storedName);
    default:
        return {};
    }
}

SaveOutcome PackageWriter::finish(SaveStatus status) {
    SaveOutcome outcome;
    outcome.status = status;
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
    for (const Work& w : works_)
        if (w.action == Action::Fail)
            outcome.failures.push_back({materials_[w.material].name, w.label, w.source, w.problem,
                                        NameDetail(materials_[w.material].name, w)});
    return outcome;
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
    MadeFolders made;
    std::error_code error;
    // The package folder may be a link to a folder elsewhere; nothing inside it is followed.
    if (!fs::is_directory(folder_, error) && !made.make(folder_))
        return finish(SaveStatus::FolderNotWritable);
    platform::InstanceLock::Outcome locking;
    std::unique_ptr<platform::InstanceLock> lock = LockFolder(folder_, locking);
    // Folders the save made go again when empty, the lock file first.
    const auto unmake = [&] {
        lock.reset();
        made.removeEmpty();
    };
    if (!lock && locking != platform::InstanceLock::Outcome::Unavailable)
        return finish(SaveStatus::Busy);
    PackageRepair repair;
    if (lock || !FolderIsReadOnly(folder_))
        repair = RepairLocked(folder_);
    const auto told = [&repair](SaveOutcome outcome) {
        outcome.repair = repair;
        return outcome;
    };
    if (repair.result == RepairResult::Failed)
        return told(finish(SaveStatus::Interrupted));
    Staging staging(folder_ / kStagingFolderName);
    if (!staging.create()) {
        unmake();
        return told(finish(SaveStatus::FolderNotWritable));
    }
    readPrevious();
    scope_.begin();

    plan(doc);
    const CopyEnd copied = copyAll(staging.path());
    if (copied != CopyEnd::Done) {
        RemoveStaging(staging.path());
        unmake();
        return told(
            finish(copied == CopyEnd::Cancelled ? SaveStatus::Cancelled : SaveStatus::WriteFailed));
    }
    // The journal, flushed with the copies (one wait for all the data: its
    // writing out began as each file was copied) before anything is renamed.
    journal();
    const fs::path journalPath = staging.path() / kJournalName;
    std::vector<fs::path> copies{journalPath};
    for (const Work& w : works_)
        if ((w.action == Action::Copy || w.action == Action::Carry) && !w.staged.empty())
            copies.push_back(w.staged);
    const bool journaled = WritePlain(journalPath, JournalText(entries_, madeFolders_));
    if (!journaled || !platform::SyncAll(copies, {staging.path()})) {
        failWrite(journaled ? SaveProblem::FlushFailed : SaveProblem::WriteFailed);
        RemoveStaging(staging.path());
        unmake();
        return told(finish(SaveStatus::WriteFailed));
    }

    // From the first rename on, a failure puts the previous package back.
    const auto rolledBack = [&] {
        stuck_ = RollBackEntries(folder_, staging.path(), entries_, madeFolders_);
        if (!stuck_.empty())
            staging.keep(); // the next repair tries again
        else
            unmake();
        return told(finish(SaveStatus::WriteFailed));
    };
    if (!placeAll(staging.path()))
        return rolledBack();
    rewriteLinks();

    const fs::path newList = staging.path() / kMaterialsListName;
    const fs::path newStored = staging.path() / kStoredCopyName;
    const fs::path notePath = staging.path() / kCommitNoteName;
    std::string noteText;
    for (const std::string& line : commitNote())
        noteText += line + "\n";
    std::vector<fs::path> folders(placedIn_.begin(), placedIn_.end());
    folders.push_back(staging.path());
    folders.push_back(folder_);
    errno = 0;
    if (!platform::WriteGbkTextFile(newList, head + ListedFiles(doc, folder_)) ||
        !doc.save(newStored) || !WritePlain(notePath, noteText + "end\n")) {
        // The writers say no more than that they failed; the system says why.
        failWrite(std::error_code(errno ? errno : EIO, std::generic_category()));
        return rolledBack();
    }
    if (!platform::SyncAll({newList, newStored, notePath}, folders)) {
        failWrite(SaveProblem::FlushFailed);
        return rolledBack();
    }

    // The list first: until the stored copy is renamed, the previous one
    // is the package (and a repair restores the previous list).
    const std::size_t list = entries_.size() - 2;
    scope_.notify(SaveStage::Commit, kMaterialsListName);
    if (!place(entries_[list], staging.path()))
        return rolledBack();
    scope_.notify(SaveStage::Commit, kStoredCopyName);
    if (!place(entries_[list + 1], staging.path()))
        return rolledBack();
    if (!platform::SyncFolder(folder_)) {
        failWrite(SaveProblem::FlushFailed);
        return rolledBack();
    }

    std::vector<std::string> note;
    ReadComplete(notePath, note);
    FinishCommit(folder_, note,
                 [this](const std::string& name) { scope_.notify(SaveStage::Clean, name); });
    unmake(); // folders of entries that failed
    return told(finish(SaveStatus::Saved));
}

} // namespace

const char* ProblemText(SaveProblem problem) {
    switch (problem) {
    case SaveProblem::MaterialName:
        return "材料名称不能用作文件夹名";
    case SaveProblem::EntryName:
        return "报件名称不能用作文件名";
    case SaveProblem::DuplicateName:
        return "与同一材料中另一报件的文件名相同";
    case SaveProblem::SourceMissing:
        return "源文件不存在";
    case SaveProblem::SourceNotAFile:
        return "源文件不是普通文件";
    case SaveProblem::SourceUnreadable:
        return "源文件无法读取";
    case SaveProblem::SourceChanged:
        return "源文件在复制过程中被修改";
    case SaveProblem::FolderNotMade:
        return "无法建立材料文件夹";
    case SaveProblem::WriteFailed:
        return "文件无法写入存储路径";
    case SaveProblem::DiskFull:
        return "存储路径所在磁盘空间不足";
    case SaveProblem::StoredFileMissing:
        return "已保存的文件不存在";
    case SaveProblem::BadStoredLink:
        return "报件路径无效";
    case SaveProblem::FlushFailed:
        return "文件未能写入磁盘";
    case SaveProblem::ReadOnly:
        return "存储路径变为只读";
    }
    return "";
}

SaveMessage SaveResultMessage(const SaveOutcome& outcome, std::int32_t totalMb,
                              std::int32_t limitMb, const std::string& folderText) {
    const std::string m = std::to_string(totalMb);
    const std::string tooLarge =
        "所有附件文件大小为:" + m + "M，超过最大限定（" + std::to_string(limitMb) +
        "M）,请减少文件大小,建议处理方法:\r\n"
        "  1、对于JPG文件：降低图片精度或大小\r\n"
        "  2、对于DOC文件：对文中图片【设置图片格式】,选择压缩【文档中所有图片】\r\n"
        "  3、对于PDF文件：对原始文件压缩后重新生成PDF文件";
    const bool over = totalMb > limitMb;
    if (outcome.failures.empty() && !outcome.storagePathError.empty()) {
        // Every file was stored; only the database refused the folder.
        return {"申报资料已保存，但申报资料存储路径未能记入模板数据库：" +
                    outcome.storagePathError +
                    "\r\n下次打开时不会自动显示该目录，请处理后重新保存。\r\n" +
                    (over ? tooLarge : "所有附件文件大小为:" + m + "M"),
                "警告", platform::MsgIcon::Critical};
    }
    if (!outcome.failures.empty()) {
        std::string text = "保存未全部成功！以下报件的文件未能保存：";
        const std::size_t shown = std::min(outcome.failures.size(), kListedFailures);
        for (std::size_t i = 0; i < shown; ++i) {
            const SaveFailure& f = outcome.failures[i];
            text += "\r\n  【" + f.material + "】" + f.entry + "：" + ProblemText(f.problem) +
                    (f.detail.empty() ? std::string() : "：" + f.detail) +
                    (f.source.empty() ? std::string() : "（" + f.source + "）");
        }
        if (outcome.failures.size() > shown)
            text += "\r\n  ……另有 " + std::to_string(outcome.failures.size() - shown) +
                    " 个报件未能保存";
        if (!outcome.storagePathError.empty())
            text += "\r\n  申报资料存储路径未能记入模板数据库：" + outcome.storagePathError;
        text += "\r\n请处理后重新保存。\r\n" + (over ? tooLarge : "所有附件文件大小为:" + m + "M");
        return {text, "警告", platform::MsgIcon::Critical};
    }
    if (over)
        return {"保存成功!\r\n" + tooLarge, "警告", platform::MsgIcon::Critical};
    return {"保存成功!  所有附件文件大小为:" + m + "M\r\n请将【" + folderText +
                "】目录(不含)下所有目录和文件刻录成光盘做为电子申报资料上报...\r\n"
                " 【注意】请不要手动对该目录下文件名和后缀名做任何修改！",
            "提示", platform::MsgIcon::Information};
}

SaveOutcome SavePackage(const SaveRequest& request, SaveObserver* observer) {
    return PackageWriter(request, observer).run();
}

PackageRepair RepairPackage(const std::string& folder) {
    PackageRepair repair;
    const fs::path path = util::PathFromUtf8(folder);
    std::error_code error;
    if (folder.empty() || !fs::is_directory(path, error) ||
        !fs::exists(fs::symlink_status(path / kStagingFolderName, error)))
        return repair; // nothing to do, and nothing written
    const bool interrupted = HasInterruptedSave(folder);
    if (FolderIsReadOnly(path)) {
        repair.result = interrupted ? RepairResult::ReadOnly : RepairResult::Nothing;
        return repair;
    }
    platform::InstanceLock::Outcome locking;
    const std::unique_ptr<platform::InstanceLock> lock = LockFolder(path, locking);
    if (!lock && locking != platform::InstanceLock::Outcome::Unavailable) {
        repair.result = interrupted ? RepairResult::Busy : RepairResult::Nothing;
        return repair;
    }
    return RepairLocked(path);
}

bool HasInterruptedSave(const std::string& folder) {
    std::vector<JournalEntry> entries;
    std::vector<std::string> made;
    return !folder.empty() &&
           ReadJournal(util::PathFromUtf8(folder) / kStagingFolderName, entries, made);
}

std::string RepairSentence(const PackageRepair& repair, const std::string& folder) {
    const std::string f = "【" + folder + "】";
    switch (repair.result) {
    case RepairResult::Nothing:
        return {};
    case RepairResult::RolledBack:
        return "上次保存到" + f + "时被中断，已恢复为该次保存前的申报资料。";
    case RepairResult::Finished:
        return "上次保存到" + f + "时被中断，新的申报资料已完整，已完成该次保存的收尾。";
    case RepairResult::Failed: {
        std::string text = "上次保存到" + f + "时被中断，未能恢复，以下文件已是新内容，请勿刻录：";
        for (const std::string& file : repair.stuck)
            text += "\r\n  " + file;
        return text;
    }
    case RepairResult::ReadOnly:
        return f + "中有一次被中断的保存，但该目录只读，未作任何修复，请勿刻录。";
    case RepairResult::Busy:
        return "另一个程序正在保存到" + f + "，未作修复。";
    }
    return {};
}

void RepairAndTell(const std::string& folder) {
    const std::string sentence = RepairSentence(RepairPackage(folder), folder);
    if (!sentence.empty())
        platform::Notify(sentence, "提示", platform::MsgIcon::Exclamation);
}

std::string ForeignFolderQuestion(const std::string& folder) {
    const fs::path path = util::PathFromUtf8(folder);
    std::error_code error;
    if (folder.empty() || !fs::is_directory(path, error) || IsRealFile(path / kStoredCopyName))
        return {};
    bool foreign = false;
    for (fs::directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
        const std::string name = util::PathToUtf8(it->path().filename());
        if (name != kStagingFolderName && name != kPackageLockName)
            foreign = true;
    }
    if (!foreign)
        return {};
    return "【" + folder +
           "】目录不是空的，其中没有申报资料（APLPKG.XML）。\r\n"
           "申报资料将保存到该目录中，其中原有的文件和文件夹保留不动，但不会刻入光盘。\r\n"
           "是否保存到该目录？";
}

namespace {

std::string Megabytes(std::uint64_t bytes, bool up) {
    constexpr std::uint64_t kMb = 1024 * 1024;
    return std::to_string(up ? (bytes + kMb - 1) / kMb : bytes / kMb);
}

} // namespace

std::string SaveFailureText(const SaveOutcome& outcome, const std::string& folder) {
    const std::string f = "【" + folder + "】";
    switch (outcome.status) {
    case SaveStatus::Saved:
    case SaveStatus::Unreadable:
    case SaveStatus::FolderNotWritable:
    case SaveStatus::Declined:
        return {};
    case SaveStatus::Cancelled:
        return "保存已取消，" + f + "中的申报资料没有任何改动。";
    case SaveStatus::Busy:
        return "另一个程序正在保存到" + f + "，请等它结束后再保存。";
    case SaveStatus::Interrupted:
        return RepairSentence(outcome.repair, folder) + "\r\n本次保存未写入任何文件。";
    case SaveStatus::WriteFailed:
        break;
    }
    std::string why;
    switch (outcome.writeProblem) {
    case SaveProblem::DiskFull:
        why = "存储路径所在磁盘空间不足：申报资料需要 " + Megabytes(outcome.neededBytes, true) +
              " MB，磁盘上只有 " + Megabytes(outcome.freeBytes, false) + " MB 可用";
        break;
    case SaveProblem::FlushFailed:
        why = "文件未能写入磁盘";
        break;
    case SaveProblem::ReadOnly:
        why = "存储路径变为只读";
        break;
    default:
        why = "文件无法写入存储路径";
        break;
    }
    std::string text = "保存失败：" + why + "。";
    if (outcome.stuck.empty()) {
        text += "\r\n" + f + "中保存前的申报资料已恢复，没有任何改动。";
    } else {
        text += "\r\n未能恢复" + f + "中保存前的申报资料，以下文件已是新内容：";
        for (const std::string& file : outcome.stuck)
            text += "\r\n  " + file;
        text += "\r\n下次打开或保存该目录时将再次恢复，恢复前请勿刻录。";
    }
    return text;
}

SaveOutcome SaveFolder(SaveObserver* observer) {
    const std::string folder = ShownFolder; // read once
    const std::string question = ForeignFolderQuestion(folder);
    if (!question.empty() && platform::CurrentPrompter().message(
                                 question, "提示", platform::MsgIcon::Question,
                                 platform::MsgButtons::YesNo) != platform::MsgAnswer::Yes) {
        SaveOutcome declined;
        declined.status = SaveStatus::Declined;
        return declined;
    }
    SaveRequest request;
    request.workPath = WorkManifestPath;
    request.shownFolder = folder;
    request.storageFolder = StorageFolder;
    SaveOutcome outcome = SavePackage(request, observer);
    const std::string repaired = RepairSentence(outcome.repair, folder);
    if (!repaired.empty() && outcome.status != SaveStatus::Interrupted)
        platform::Notify(repaired, "提示", platform::MsgIcon::Exclamation);
    switch (outcome.status) {
    case SaveStatus::Unreadable:
        platform::Notify("XML文件不存在-" + util::PathToUtf8(StoredCopyPath(folder)), "提示",
                         platform::MsgIcon::Exclamation);
        break;
    case SaveStatus::FolderNotWritable:
        platform::Notify("申报资料存储路径无法写入-" + folder, "提示",
                         platform::MsgIcon::Exclamation);
        break;
    case SaveStatus::Saved:
        try {
            saveStoragePath(folder);
        } catch (const platform::db::DbError& error) {
            outcome.storagePathError = error.what();
        }
        break;
    case SaveStatus::Declined:
        break;
    case SaveStatus::Cancelled:
    case SaveStatus::Busy:
    case SaveStatus::Interrupted:
    case SaveStatus::WriteFailed:
        platform::Notify(SaveFailureText(outcome, folder), "提示",
                         outcome.status == SaveStatus::Cancelled ? platform::MsgIcon::Information
                                                                 : platform::MsgIcon::Critical);
        break;
    }
    return outcome;
}

bool makeFjqd(const std::string& listPath, const std::string& manifestPath) {
    XmlDocument doc;
    if (!doc.load(manifestPath)) {
        platform::CurrentPrompter().message("XML文件不存在", "", platform::MsgIcon::None,
                                            platform::MsgButtons::Ok);
        return false;
    }
    const std::string text = ListHead(DefaultSummary()) +
                             ListedFiles(doc, util::PathFromUtf8(GetParentFolder(manifestPath)));
    const fs::path target = util::PathFromUtf8(listPath);
    fs::path temp = target;
    temp += ".saving~";
    std::error_code error;
    if (!platform::WriteGbkTextFile(temp, text) || !platform::SyncFile(temp)) {
        fs::remove(temp, error);
        return false;
    }
    fs::rename(temp, target, error);
    return !error;
}

void saveStoragePath() {
    saveStoragePath(ShownFolder);
}

void saveStoragePath(const std::string& folder) {
    if (!TemplateConnection)
        throw platform::db::DbError("template database not open");
    platform::db::Recordset row;
    row.Open(fieldforms::ItemRowQuery(), *TemplateConnection, platform::db::CursorType::Keyset,
             platform::db::LockType::Optimistic);
    if (!row.Eof()) {
        row.Fields("存储路径").SetValue(folder);
        row.Update();
        ItemTable.at(static_cast<std::size_t>(SelectedItem)).存储路径 = folder;
    }
    row.Close();
}

} // namespace materials
