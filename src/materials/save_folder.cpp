#include "materials/save_folder.h"

#include "fieldforms/field_queries.h"
#include "materials/manifest.h"
#include "materials/modfjgl.h"
#include "platform/db.h"
#include "platform/file_copy.h"
#include "platform/gbk.h"
#include "platform/prompter.h"
#include "platform/xmldoc.h"
#include "startup/mainbas.h"
#include "util/convert.h"
#include "util/utf8.h"

#include <filesystem>
#include <map>
#include <set>
#include <system_error>
#include <utility>

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

// The package's own files: no material may be named like them.
bool IsPackageFileName(const std::string& name) {
    for (const char* own : {kStoredCopyName, kMaterialsListName, kStagingFolderName})
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

// The staging folder inside the package folder; whatever it holds when the
// save leaves (copies of a cancelled or failed save) goes with it.
class Staging {
  public:
    explicit Staging(fs::path path) : path_(std::move(path)) {}
    ~Staging() { DeleteFolderTree(util::PathToUtf8(path_)); }
    Staging(const Staging&) = delete;
    Staging& operator=(const Staging&) = delete;

    // Clears what an interrupted save left and makes the folder afresh.
    bool create() {
        const std::string text = util::PathToUtf8(path_);
        std::error_code error;
        if (!DeleteFolderTree(text))
            fs::remove(path_, error); // a file of that name
        fs::create_directory(path_, error);
        return IsRealFolder(path_);
    }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
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
    void plan(const XmlDocument& doc);
    void planEntry(std::size_t m, const XmlNode& file);
    void planStored(Work& w, const Material& mat, const std::string& link);
    bool claim(const Material& mat, const std::string& name);
    bool isClaimed(const Material& mat, const std::string& name) const;
    bool copyAll(MadeFolders& made, const fs::path& staging);
    void placeAll(const fs::path& staging);
    bool place(const fs::path& from, const fs::path& target, const fs::path& staging,
               std::error_code& error);
    void rollBack();
    void rewriteLinks();
    void removeEarlierCopies(const Material& mat, const std::string& baseName);
    void cleanUp();
    SaveOutcome finish(SaveStatus status);

    const SaveRequest& request_;
    StageScope scope_;
    fs::path folder_;
    fs::path storage_;
    std::vector<Material> materials_;
    std::vector<Work> works_;
    std::vector<std::pair<std::size_t, std::string>> clearedNames_; // material, fileName
    std::map<std::string, std::set<std::string>> claims_;           // folder key → name keys
    std::set<fs::path> placedIn_;                                   // folders that received files
    // What placing changed, in order, to be undone when the save cannot commit.
    struct Placed {
        fs::path target;
        fs::path backup; // a hard link to the file it replaced; empty: none
        bool existed = false;
    };
    std::vector<Placed> placed_;
};

bool PackageWriter::claim(const Material& mat, const std::string& name) {
    return claims_[NameKey(mat.name)].insert(NameKey(name)).second;
}

bool PackageWriter::isClaimed(const Material& mat, const std::string& name) const {
    const auto found = claims_.find(NameKey(mat.name));
    return found != claims_.end() && found->second.contains(NameKey(name));
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
    if (!mat.usable) {
        w.fail(SaveProblem::MaterialName);
    } else if (HasLocalPrefix(link)) {
        planStored(w, mat, link);
    } else if (!linked.is_absolute()) {
        w.fail(SaveProblem::BadStoredLink);
    } else if (fs::is_regular_file(linked, error)) {
        // A source without an extension is stored under fileName alone: a
        // name ending in a dot would be renamed by Windows.
        const std::string extension = GetExtension(link);
        w.storedName = extension.empty() ? baseName : baseName + "." + extension;
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
// over from the earlier folder when a new folder was chosen.
void PackageWriter::planStored(Work& w, const Material& mat, const std::string& link) {
    w.storedName = LinkWithoutPrefix(link);
    if (!IsStorableName(w.storedName) || !PathProblem(mat.name, w.storedName).empty()) {
        w.fail(SaveProblem::BadStoredLink);
        return;
    }
    const fs::path name = util::PathFromUtf8(mat.name);
    const fs::path stored = util::PathFromUtf8(w.storedName);
    if (request_.shownFolder != request_.storageFolder) {
        const fs::path from = storage_ / name / stored;
        w.source = util::PathToUtf8(from);
        if (request_.storageFolder.empty() || !IsRealFolder(storage_ / name) || !IsRealFile(from))
            return w.fail(SaveProblem::StoredFileMissing);
        if (!claim(mat, w.storedName))
            return w.fail(SaveProblem::DuplicateName);
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

// Copies every file into the staging folder; false when cancelled.
bool PackageWriter::copyAll(MadeFolders& made, const fs::path& staging) {
    std::uint64_t total = 0;
    for (const Work& w : works_)
        if (w.action == Action::Copy || w.action == Action::Carry)
            total += w.bytes;
    std::uint64_t done = 0;
    int index = 0;
    for (Work& w : works_) {
        if (w.action != Action::Copy && w.action != Action::Carry)
            continue;
        if (scope_.cancelled())
            return false;
        scope_.notify(SaveStage::Copy, w.storedName);
        const Material& mat = materials_[w.material];
        if (!IsRealFolder(mat.folder) && !made.make(mat.folder)) {
            w.fail(SaveProblem::FolderNotMade);
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
        std::error_code ignored;
        fs::remove(w.staged, ignored);
        if (result.failure == platform::CopyResult::Failure::Read)
            w.fail(SaveProblem::SourceUnreadable);
        else if (result.failure == platform::CopyResult::Failure::Changed)
            w.fail(SaveProblem::SourceChanged);
        else if (result.error == std::errc::no_space_on_device ||
                 result.error == std::errc::file_too_large)
            w.fail(SaveProblem::DiskFull);
        else
            w.fail(SaveProblem::WriteFailed);
    }
    if (scope_.cancelled())
        return false;
    // One wait for all the data at the end: its writing out began as each
    // file was copied.
    std::vector<fs::path> copies;
    for (const Work& w : works_)
        if (w.action == Action::Copy || w.action == Action::Carry)
            copies.push_back(w.staged);
    if (!platform::SyncAll(copies, {}))
        for (Work& w : works_)
            if (w.action == Action::Copy || w.action == Action::Carry)
                w.fail(SaveProblem::WriteFailed);
    return true;
}

// Renames a file of the save onto its place in the package. A file it
// replaces is kept as a hard link in the staging folder first, so a save that
// cannot commit can put it back; the rename itself replaces atomically, so a
// kill at any moment leaves a complete file under the name.
bool PackageWriter::place(const fs::path& from, const fs::path& target, const fs::path& staging,
                          std::error_code& error) {
    Placed placed{target, {}, IsRealFile(target)};
    if (placed.existed) {
        placed.backup = staging / (std::to_string(placed_.size()) + ".old");
        std::error_code linkError;
        fs::create_hard_link(target, placed.backup, linkError);
        if (linkError) // a file system without hard links: this one cannot be put back
            placed.backup.clear();
    }
    fs::rename(from, target, error);
    if (error) {
        std::error_code ignored;
        if (!placed.backup.empty())
            fs::remove(placed.backup, ignored);
        return false;
    }
    placed_.push_back(std::move(placed));
    return true;
}

// Puts back what placing changed: replaced files get their earlier content,
// new files go.
void PackageWriter::rollBack() {
    std::error_code ignored;
    for (auto p = placed_.rbegin(); p != placed_.rend(); ++p) {
        if (!p->backup.empty())
            fs::rename(p->backup, p->target, ignored);
        else if (!p->existed)
            fs::remove(p->target, ignored);
    }
    placed_.clear();
}

// Renames the copies onto their standard names. The previous stored copy
// still names only files that exist: a name it shares with the new package
// now holds the new content, complete.
void PackageWriter::placeAll(const fs::path& staging) {
    for (Work& w : works_) {
        if ((w.action != Action::Copy && w.action != Action::Carry) || w.staged.empty())
            continue;
        scope_.notify(SaveStage::Place, w.storedName);
        const fs::path target = materials_[w.material].folder / util::PathFromUtf8(w.storedName);
        std::error_code error;
        if (!place(w.staged, target, staging, error)) {
            const bool tooLong = error == std::errc::filename_too_long;
            fs::remove(w.staged, error);
            w.fail(tooLong ? SaveProblem::EntryName : SaveProblem::WriteFailed);
            continue;
        }
        placedIn_.insert(materials_[w.material].folder);
    }
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

// Earlier copies of an entry: its fileName, a dot and one extension (no
// further dot), compared literally; a name that the new package uses in the
// folder is never removed.
void PackageWriter::removeEarlierCopies(const Material& mat, const std::string& baseName) {
    if (!IsRealFolder(mat.folder))
        return;
    const std::string prefix = baseName + ".";
    std::vector<fs::path> doomed;
    std::error_code error;
    for (fs::directory_iterator it(mat.folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = util::PathToUtf8(it->path().filename());
        if (!name.starts_with(prefix) || name.find('.', prefix.size()) != std::string::npos ||
            isClaimed(mat, name) || fs::is_directory(it->symlink_status(error)))
            continue;
        doomed.push_back(it->path());
    }
    for (const fs::path& path : doomed) {
        scope_.notify(SaveStage::Clean, util::PathToUtf8(path.filename()));
        fs::remove(path, error);
    }
}

void PackageWriter::cleanUp() {
    for (const Work& w : works_)
        if (w.action == Action::Copy)
            removeEarlierCopies(materials_[w.material], w.baseName);
    for (const auto& [m, baseName] : clearedNames_)
        removeEarlierCopies(materials_[m], baseName);
    std::set<std::string> removed;
    for (const Material& mat : materials_) {
        // A folder that the new package stores files in stays, whatever the count says.
        const auto claimed = claims_.find(NameKey(mat.name));
        if (!mat.emptied || (claimed != claims_.end() && !claimed->second.empty()) ||
            !removed.insert(NameKey(mat.name)).second)
            continue;
        scope_.notify(SaveStage::Clean, mat.name);
        DeleteFolderTree(util::PathToUtf8(mat.folder),
                         [this, &mat] { scope_.notify(SaveStage::Clean, mat.name); });
    }
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
    if (!IsRealFolder(folder_) && !made.make(folder_))
        return finish(SaveStatus::FolderNotWritable);
    Staging staging(folder_ / kStagingFolderName);
    if (!staging.create()) {
        made.removeEmpty();
        return finish(SaveStatus::FolderNotWritable);
    }
    scope_.begin();

    plan(doc);
    if (!copyAll(made, staging.path())) {
        DeleteFolderTree(util::PathToUtf8(staging.path()));
        made.removeEmpty();
        return finish(SaveStatus::Cancelled);
    }
    placeAll(staging.path());
    rewriteLinks();

    // A save that cannot commit (a full disk, a folder that refuses the new
    // stored copy) puts the previous package back as it was.
    const auto notWritable = [&] {
        rollBack();
        made.removeEmpty();
        return finish(SaveStatus::FolderNotWritable);
    };
    const fs::path newList = staging.path() / kMaterialsListName;
    const fs::path newStored = staging.path() / kStoredCopyName;
    std::vector<fs::path> folders(placedIn_.begin(), placedIn_.end());
    folders.push_back(staging.path());
    if (!platform::WriteGbkTextFile(newList, head + ListedFiles(doc, folder_)) ||
        !doc.save(newStored) || !platform::SyncAll({newList, newStored}, folders))
        return notWritable();

    // The list first: until the stored copy is renamed, the previous one
    // (with every file it names) is the package.
    scope_.notify(SaveStage::Commit, kStoredCopyName);
    std::error_code error;
    if (!place(newList, folder_ / kMaterialsListName, staging.path(), error) ||
        !place(newStored, folder_ / kStoredCopyName, staging.path(), error))
        return notWritable();
    platform::SyncFolder(folder_);

    cleanUp();
    return finish(SaveStatus::Saved);
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
    if (!outcome.failures.empty() || !outcome.storagePathError.empty()) {
        std::string text = "保存未全部成功！以下报件的文件未能保存：";
        for (const SaveFailure& f : outcome.failures)
            text += "\r\n  【" + f.material + "】" + f.entry + "：" + ProblemText(f.problem) +
                    (f.detail.empty() ? std::string() : "：" + f.detail) +
                    (f.source.empty() ? std::string() : "（" + f.source + "）");
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

SaveOutcome SaveFolder(SaveObserver* observer) {
    SaveRequest request;
    request.workPath = WorkManifestPath;
    request.shownFolder = ShownFolder;
    request.storageFolder = StorageFolder;
    SaveOutcome outcome = SavePackage(request, observer);
    switch (outcome.status) {
    case SaveStatus::Unreadable:
        platform::Notify("XML文件不存在-" + util::PathToUtf8(StoredCopyPath(ShownFolder)), "提示",
                         platform::MsgIcon::Exclamation);
        break;
    case SaveStatus::FolderNotWritable:
        platform::Notify("申报资料存储路径无法写入-" + ShownFolder, "提示",
                         platform::MsgIcon::Exclamation);
        break;
    case SaveStatus::Saved:
        try {
            saveStoragePath();
        } catch (const platform::db::DbError& error) {
            outcome.storagePathError = error.what();
        }
        break;
    case SaveStatus::Cancelled:
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
    if (!TemplateConnection)
        throw platform::db::DbError("template database not open");
    platform::db::Recordset row;
    row.Open(fieldforms::ItemRowQuery(), *TemplateConnection, platform::db::CursorType::Keyset,
             platform::db::LockType::Optimistic);
    if (!row.Eof()) {
        row.Fields("存储路径").SetValue(ShownFolder);
        row.Update();
        ItemTable.at(static_cast<std::size_t>(SelectedItem)).存储路径 = ShownFolder;
    }
    row.Close();
}

} // namespace materials
