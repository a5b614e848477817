#include "disc/package_check.h"

#include "materials/manifest.h"
#include "materials/modfjgl.h"
#include "materials/name_rule.h"
#include "materials/save_folder.h"
#include "platform/folder_handle.h"
#include "platform/gbk.h"
#include "platform/utf8.h"
#include "platform/xmldoc.h"
#include "util/sha256.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <utility>

namespace disc {
namespace {

namespace fs = std::filesystem;
using platform::XmlDocument;
using platform::XmlNode;

const char* const kListHeading = "上报材料清单：";

std::string ChildText(const XmlNode& node, const char* xpath) {
    return node.selectSingleNode(xpath).text();
}

std::string Extension(const std::string& name) {
    return platform::AsciiLower(materials::GetExtension(name));
}

std::string MegaBytes(std::uint64_t bytes) {
    return std::to_string((bytes + (1 << 20) - 1) >> 20);
}

// The first bytes of a file ("" when it cannot be read).
std::string Head(const fs::path& file, std::size_t count) {
    std::ifstream in(file, std::ios::binary);
    std::string bytes(count, '\0');
    in.read(bytes.data(), std::streamsize(count));
    bytes.resize(std::size_t(in.gcount()));
    return bytes;
}

bool Readable(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    char byte;
    return in && in.read(&byte, 1);
}

// Runs jobs 0 to count-1 on worker threads (one per core, at most four),
// started in order of their index. The calling thread waits for them one by
// one in that order, so it reports results and progress in the manifest's
// order while the workers run ahead. stop() starts no further job; the
// destructor waits for those running.
class OrderedJobs {
  public:
    static constexpr unsigned kMaxWorkers = 4;

    OrderedJobs(std::size_t count, std::function<void(std::size_t)> job)
        : job_(std::move(job)), count_(count), done_(count, 0), errors_(count) {
        const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1u, kMaxWorkers);
        for (std::size_t i = 0; i < std::min<std::size_t>(cores, count); ++i)
            workers_.emplace_back([this] { work(); });
    }
    ~OrderedJobs() {
        stop();
        for (std::thread& worker : workers_)
            worker.join();
    }
    OrderedJobs(const OrderedJobs&) = delete;
    OrderedJobs& operator=(const OrderedJobs&) = delete;

    void stop() { stopped_ = true; }

    // True once job i has run, false when `timeout` passed first. What the
    // job threw is thrown here.
    bool wait(std::size_t i, std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        if (!finished_.wait_for(lock, timeout, [&] { return done_[i] != 0; }))
            return false;
        if (errors_[i])
            std::rethrow_exception(errors_[i]);
        return true;
    }

  private:
    void work() {
        for (std::size_t i; (i = next_++) < count_ && !stopped_;) {
            std::exception_ptr error;
            try {
                job_(i);
            } catch (...) {
                error = std::current_exception();
            }
            {
                std::lock_guard lock(mutex_);
                done_[i] = 1;
                errors_[i] = error;
            }
            finished_.notify_all();
        }
    }

    std::function<void(std::size_t)> job_;
    std::size_t count_;
    std::atomic<std::size_t> next_{0};
    std::atomic<bool> stopped_{false};
    std::mutex mutex_;
    std::condition_variable finished_;
    std::vector<char> done_;
    std::vector<std::exception_ptr> errors_;
    std::vector<std::thread> workers_; // last: started once the rest is in place
};

// How often the waiting thread reports progress and asks whether to stop
// while a job runs.
constexpr std::chrono::milliseconds kPoll{20};

// The SHA-256 of a file, read chunk by chunk ("" when it cannot be read
// through, or when `stop` is set between chunks); `read` counts the bytes.
std::string FileDigest(const fs::path& file, std::uint64_t size, const std::atomic<bool>& stop,
                       std::atomic<std::uint64_t>& read) {
    constexpr std::uint64_t kChunk = std::uint64_t{1} << 20;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return {};
    std::vector<char> buffer(static_cast<std::size_t>(std::clamp<std::uint64_t>(size, 1, kChunk)));
    util::Sha256 hash;
    while (in) {
        if (stop)
            return {};
        in.read(buffer.data(), std::streamsize(buffer.size()));
        if (in.bad())
            return {};
        const auto n = static_cast<std::size_t>(in.gcount());
        hash.update(buffer.data(), n);
        read += n;
    }
    return util::Sha256::Hex(hash.finish());
}

const std::string kOle2("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
const std::string kZip("PK\x03\x04", 4);

struct Stored {
    std::string material;
    std::string entry;
    std::string name;
    fs::path path;
    std::uint64_t size = 0;
};

using Findings = std::vector<PackageFinding>;

void Report(Findings& to, FindingLevel level, const Stored& file, std::string problem) {
    to.push_back({level, file.material, file.entry, file.name, std::move(problem)});
}

// The entries linked to a file, of all the materials.
std::uint64_t CountLinked(const std::vector<XmlNode>& materials) {
    std::uint64_t linked = 0;
    for (const XmlNode& material : materials)
        for (const XmlNode& file : material.selectNodes(".//fileList//file"))
            linked += ChildText(file, ".//fileUrl").empty() ? 0 : 1;
    return linked;
}

// Why a material's name (`key`: its name key) cannot be its folder, by the one
// name rule as the save applies it; "" when it can.
std::string MaterialNameProblem(const std::string& name, const std::string& key) {
    std::string nameProblem = materials::NameProblem(name);
    for (const char* own : {materials::kStoredCopyName, materials::kMaterialsListName,
                            materials::kProgramEntryPrefix})
        if (nameProblem.empty() &&
            (materials::SameName(name, own) ||
             key.starts_with(materials::NameKey(materials::kProgramEntryPrefix))))
            nameProblem = "与申报资料自身的文件同名";
    return nameProblem;
}

// What the findings call the `n`th entry of a material: its title, else its
// name, else its number.
std::string EntryTitle(const XmlNode& file, int n) {
    std::string entry = ChildText(file, ".//fileTitle");
    if (entry.empty())
        entry = ChildText(file, ".//fileName");
    if (entry.empty())
        entry = "第" + std::to_string(n) + "个报件";
    return entry;
}

// One stored file, checked on a worker.
struct FileCheck {
    Stored file;
    std::uint64_t entry = 0;    // its entry's number among the linked entries
    std::size_t findingsAt = 0; // where its findings go among those of the names
    bool stored = false;        // it goes onto the disc (file.size is known)
    Findings findings;
};

class Checker {
  public:
    Checker(const std::string& folder, ContentInspector* inspector, CheckObserver* observer)
        : folder_(platform::PathFromUtf8(folder)), inspector_(inspector), observer_(observer) {}

    PackageCheck run();

  private:
    void add(FindingLevel level, std::string material, std::string entry, std::string file,
             std::string problem) {
        check_.findings.push_back(
            {level, std::move(material), std::move(entry), std::move(file), std::move(problem)});
    }
    void error(const std::string& m, const std::string& e, const std::string& f,
               const std::string& p) {
        add(FindingLevel::Error, m, e, f, p);
    }
    void warning(const std::string& m, const std::string& e, const std::string& f,
                 const std::string& p) {
        add(FindingLevel::Warning, m, e, f, p);
    }

    std::string normalisationTwin(const std::string& material, const std::string& name);
    void checkEntries(const XmlDocument& doc);
    bool namesFolder(const std::string& name, const std::string& key, bool firstNamed);
    void checkFiles();
    // On a worker: writes nothing but `c`.
    void checkFile(FileCheck& c);
    void checkContent(const Stored& file, Findings& out);
    void checkOffice(const Stored& file, const std::string& ext, Findings& out);
    void checkList();
    void checkStrays();
    void checkDuplicates();

    // False once the observer asked to stop (noted in the result).
    bool goOn() {
        if (!check_.cancelled && observer_ && observer_->cancelRequested())
            check_.cancelled = true;
        return !check_.cancelled;
    }
    void progress(CheckObserver::Stage stage, std::uint64_t done, std::uint64_t total) {
        if (observer_)
            observer_->progress(stage, done, total);
    }

    fs::path folder_;
    ContentInspector* inspector_;
    CheckObserver* observer_;
    std::uint64_t linkedEntries_ = 0; // the entries checked one by one
    PackageCheck check_;
    std::vector<FileCheck> files_;                         // the stored files to check
    std::vector<Stored> stored_;                           // entries that go onto the disc
    std::vector<std::string> listed_;                      // the lines the list must hold
    std::map<std::string, std::set<std::string>> claimed_; // material key → name keys
    std::map<std::string, std::string> materialKeys_;      // material folder key → its name
    bool saveRunning_ = false;                             // a save holds the folder's lock now
    bool interrupted_ = false; // an interrupted save waits for its repair
    // A picture is decoded whole (up to Qt's limit of 128 MB): one at a time.
    std::mutex pictures_;
    // By folder, its names by canonical form, listed when a linked file is
    // missing; shared by the workers.
    std::mutex shared_;
    std::map<fs::path, std::map<std::string, std::string>> canonicalNames_;
};

// Whether `name` is the material that names its folder (`key`): the first of
// those whose names differ only in case; each other is told once, when it is
// first named (`firstNamed`).
bool Checker::namesFolder(const std::string& name, const std::string& key, bool firstNamed) {
    if (firstNamed) {
        const auto [first, fresh] = materialKeys_.emplace(key, name);
        if (!fresh && first->second != name)
            error(name, "", "",
                  "与材料【" + first->second +
                      "】的名称只有大小写不同，在Windows和光盘上是同一个文件夹");
    }
    const auto first = materialKeys_.find(key);
    return first == materialKeys_.end() || first->second == name;
}

void Checker::checkEntries(const XmlDocument& doc) {
    const XmlNode root = doc.documentElement();
    std::set<std::string> namedMaterials;
    std::uint64_t entries = 0;
    const std::vector<XmlNode> materials = root.selectNodes(".//attachments//attachment");
    linkedEntries_ += CountLinked(materials);
    for (const XmlNode& material : materials) {
        const std::string name = ChildText(material, ".//fjmc");
        const std::string key = materials::NameKey(name);
        const std::string nameProblem = MaterialNameProblem(name, key);
        int n = 0;
        for (const XmlNode& file : material.selectNodes(".//fileList//file")) {
            ++n;
            const std::string link = ChildText(file, ".//fileUrl");
            if (link.empty())
                continue;
            if (!goOn())
                return;
            ++entries;
            const std::string entry = EntryTitle(file, n);
            if (!materials::IsStoredLink(link)) {
                error(name, entry, link, "已选择的文件尚未保存到申报资料目录，请重新保存");
                continue;
            }
            const std::string stored = materials::LinkWithoutPrefix(link);
            listed_.push_back(std::to_string(listed_.size() + 1) + "、" + stored);
            if (!nameProblem.empty()) {
                if (namedMaterials.insert(name).second)
                    error(name, "", "", "材料名称不能用作文件夹名：" + nameProblem);
                continue;
            }
            if (const std::string problem = materials::NameProblem(stored); !problem.empty()) {
                error(name, entry, stored, "文件名无效：" + problem);
                continue;
            }
            if (!namesFolder(name, key, namedMaterials.insert(name).second))
                continue;
            if (const std::string problem = materials::PathProblem(name, stored);
                !problem.empty()) {
                error(name, entry, stored, problem);
                continue;
            }
            if (!claimed_[key].insert(materials::NameKey(stored)).second) {
                error(name, entry, stored, "与同一材料中另一报件链接同一个文件");
                continue;
            }
            FileCheck& c = files_.emplace_back();
            c.file = {name, entry, stored,
                      folder_ / platform::PathFromUtf8(name) / platform::PathFromUtf8(stored)};
            c.entry = entries;
            c.findingsAt = check_.findings.size();
        }
    }
}

// The name (material/file) of a file in the folder whose path differs from
// the linked one only by Unicode normalisation (a folder that passed through
// macOS holds decomposed names); "" when there is none. Each folder is listed
// once.
std::string Checker::normalisationTwin(const std::string& material, const std::string& name) {
    const std::lock_guard one(shared_);
    const auto twinIn = [this](const fs::path& folder, const std::string& wanted) {
        auto [names, fresh] = canonicalNames_.try_emplace(folder);
        std::error_code e;
        for (fs::directory_iterator it(folder, e), end; fresh && !e && it != end; it.increment(e)) {
            const std::string found = platform::PathToUtf8(it->path().filename());
            names->second.emplace(materials::CanonicalForm(found), found);
        }
        const auto twin = names->second.find(materials::CanonicalForm(wanted));
        return twin == names->second.end() ? std::string() : twin->second;
    };
    const std::string folder = twinIn(folder_, material);
    const std::string file =
        folder.empty() ? std::string() : twinIn(folder_ / platform::PathFromUtf8(folder), name);
    if (file.empty() || (folder == material && file == name))
        return {};
    return folder == material ? file : folder + "/" + file;
}

// The stored files, checked on workers; their findings take their places
// among those of the names, in the manifest's order.
void Checker::checkFiles() {
    Findings named = std::move(check_.findings);
    check_.findings.clear();
    std::size_t taken = 0;          // of `named`
    std::set<std::string> toldOnce; // package-wide lines (a missing reader)
    const auto takeNamed = [&](std::size_t upTo) {
        for (; taken < upTo; ++taken)
            check_.findings.push_back(std::move(named[taken]));
    };
    {
        OrderedJobs jobs(files_.size(), [this](std::size_t i) { checkFile(files_[i]); });
        for (std::size_t i = 0; i < files_.size() && !check_.cancelled; ++i) {
            while (!jobs.wait(i, kPoll) && goOn()) {
            }
            if (!goOn())
                break;
            FileCheck& c = files_[i];
            takeNamed(c.findingsAt);
            for (PackageFinding& f : c.findings)
                if (!f.material.empty() || !f.file.empty() || toldOnce.insert(f.problem).second)
                    check_.findings.push_back(std::move(f));
            if (c.stored)
                stored_.push_back(c.file);
            progress(CheckObserver::Stage::Files, c.entry, linkedEntries_);
        }
    }
    takeNamed(named.size());
    if (!check_.cancelled)
        progress(CheckObserver::Stage::Files, linkedEntries_, linkedEntries_);
}

void Checker::checkFile(FileCheck& c) {
    const Stored& file = c.file;
    std::error_code e;
    // A material folder that is a link could lead outside the package.
    const fs::file_status folder = fs::symlink_status(file.path.parent_path(), e);
    if (fs::exists(folder) && !fs::is_directory(folder)) {
        Report(c.findings, FindingLevel::Error, file, "材料文件夹不是普通文件夹");
        return;
    }
    const fs::file_status status = fs::symlink_status(file.path, e);
    if (!fs::exists(status)) {
        if (const std::string twin = normalisationTwin(file.material, file.name); !twin.empty()) {
            Stored named = file;
            named.name = twin;
            Report(c.findings, FindingLevel::Error, named,
                   "文件名与APLPKG.XML中的写法只有Unicode规范化形式不同（文件夹可能经过macOS等系统"
                   "复制），审批机关按清单找不到该文件，请重新选择文件并保存");
        } else {
            Report(c.findings, FindingLevel::Error, file, "文件不存在（保存后被删除或改名）");
        }
        return;
    }
    if (!fs::is_regular_file(status)) {
        Report(c.findings, FindingLevel::Error, file, "不是普通文件");
        return;
    }
    const std::uint64_t size = fs::file_size(file.path, e);
    if (e || size == 0) {
        Report(c.findings, FindingLevel::Error, file, "文件为空（0字节）");
        return;
    }
    if (!Readable(file.path)) {
        Report(c.findings, FindingLevel::Error, file, "文件无法读取");
        return;
    }
    c.file.size = size;
    c.stored = true;
    checkContent(c.file, c.findings);
}

void Checker::checkContent(const Stored& file, Findings& out) {
    const std::string ext = Extension(file.name);
    const auto inspect = [&](bool pdf) {
        if (!inspector_)
            return;
        ContentInspector::Verdict verdict;
        if (pdf) {
            verdict = inspector_->inspectPdf(file.path);
        } else {
            const std::lock_guard one(pictures_);
            verdict = inspector_->inspectImage(file.path);
        }
        if (verdict == ContentInspector::Verdict::NoReader) {
            // Told once: checkFiles keeps the first of these package-wide lines.
            Report(out, FindingLevel::Warning, Stored{},
                   pdf ? "本程序的PDF组件（quillor-pdf）缺失，未能检查PDF文件能否打开，"
                         "请重新安装本程序"
                       : "本程序的图片组件缺失，未能检查图片能否打开，请重新安装本程序");
        } else if (verdict == ContentInspector::Verdict::Locked)
            Report(out, FindingLevel::Error, file, "PDF文件有密码保护，审批机关无法打开");
        else if (verdict == ContentInspector::Verdict::Unreadable)
            Report(out, FindingLevel::Error, file,
                   pdf ? "PDF文件无法打开（文件已损坏或不是PDF文件）"
                       : "图片无法解码（文件已损坏或不是图片文件）");
    };
    if (ext == "pdf") {
        inspect(true);
    } else if (ext == "jpg" || ext == "jpeg" || ext == "png" || ext == "bmp" || ext == "gif" ||
               ext == "tif" || ext == "tiff") {
        inspect(false);
    } else if (ext == "doc" || ext == "xls" || ext == "docx" || ext == "xlsx") {
        checkOffice(file, ext, out);
    }
}

// The containers Office files really come in: OLE2 (Word 97-2003, Excel
// 97-2003), an OOXML zip (.docx, .xlsx) and, for Word, RTF, which Word and
// WPS keep when a .doc holding RTF (as the downloaded template is) is edited
// and saved under its own name. A mismatch that Office still opens is a
// warning; only a file that is none of them is an error.
void Checker::checkOffice(const Stored& file, const std::string& ext, Findings& out) {
    enum class Container { Ole2, Zip, Rtf, Unknown };
    std::string head = Head(file.path, 8);
    if (head.substr(0, 3) == "\xEF\xBB\xBF") // a byte-order mark before RTF
        head = Head(file.path, 11).substr(3);
    const Container found = head == kOle2                   ? Container::Ole2
                            : head.substr(0, 4) == kZip     ? Container::Zip
                            : head.substr(0, 5) == "{\\rtf" ? Container::Rtf
                                                            : Container::Unknown;
    const bool word = ext == "doc" || ext == "docx";
    const bool old = ext == "doc" || ext == "xls";
    const Container expected = old ? Container::Ole2 : Container::Zip;
    if (found == expected || (ext == "doc" && found == Container::Rtf))
        return;
    if (found == Container::Zip || found == Container::Ole2)
        Report(out, FindingLevel::Warning, file,
               old ? "扩展名为." + ext + "，内容却是新版Office（." + ext + "x）格式"
                   : "扩展名为." + ext + "，内容却是旧版Office（." + ext.substr(0, 3) + "）格式");
    else if (found == Container::Rtf && word)
        Report(out, FindingLevel::Warning, file,
               "扩展名为." + ext + "，内容却是RTF格式（Word可以打开）");
    else
        Report(out, FindingLevel::Error, file,
               ext == "doc" ? "文件头不是Word文件（OLE2或RTF）格式，文件可能已损坏"
               : old ? "文件头不是Word/Excel文件（OLE2）格式，文件可能已损坏"
                     : "文件头不是Word/Excel文件（ZIP）格式，文件可能已损坏");
}

// "材料清单.txt" lists, after its heading, one numbered line per stored entry
// of the manifest, in manifest order.
void Checker::checkList() {
    const fs::path path = folder_ / platform::PathFromUtf8(materials::kMaterialsListName);
    if (!platform::IsRealFile(path)) {
        error("", "", materials::kMaterialsListName, "文件不存在，请重新保存");
        return;
    }
    std::ifstream in(path, std::ios::binary);
    // Decoded as it is written: GBK, and the GB18030 form of what GBK lacks.
    const std::string text = platform::Gb18030ToUtf8(
        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    std::size_t at = 0;
    while (at < lines.size() && lines[at] != kListHeading)
        ++at;
    if (at == lines.size()) {
        error("", "", materials::kMaterialsListName,
              "缺少“上报材料清单：”一节，与APLPKG.XML不一致");
        return;
    }
    std::vector<std::string> actual(lines.begin() + std::ptrdiff_t(at) + 1, lines.end());
    while (!actual.empty() && actual.back().empty())
        actual.pop_back();
    for (std::size_t i = 0; i < std::max(actual.size(), listed_.size()); ++i) {
        const std::string want = i < listed_.size() ? listed_[i] : "";
        const std::string have = i < actual.size() ? actual[i] : "";
        if (want == have)
            continue;
        std::string problem = "与APLPKG.XML不一致：";
        if (have.empty())
            problem += "缺少“" + want + "”";
        else if (want.empty())
            problem += "多出“" + have + "”";
        else
            problem += "应为“" + want + "”，实为“" + have + "”";
        error("", "", materials::kMaterialsListName, problem + "，请重新保存");
        return;
    }
}

// Everything in the folder that is not the package's stays off the disc.
void Checker::checkStrays() {
    const std::string folder = platform::PathToUtf8(folder_);
    saveRunning_ = materials::SaveRunning(folder);
    interrupted_ = !saveRunning_ && materials::HasInterruptedSave(folder);
    std::error_code e;
    for (fs::directory_iterator it(folder_, e), end; !e && it != end; it.increment(e)) {
        const std::string name = platform::PathToUtf8(it->path().filename());
        const bool folder = fs::is_directory(it->symlink_status(e));
        if (!folder &&
            (name == materials::kStoredCopyName || name == materials::kMaterialsListName))
            continue;
        const auto material = materialKeys_.find(materials::NameKey(name));
        if (folder && material != materialKeys_.end() && material->second == name) {
            const std::set<std::string>& names = claimed_[materials::NameKey(name)];
            std::error_code inner;
            for (fs::directory_iterator f(it->path(), inner), fend; !inner && f != fend;
                 f.increment(inner)) {
                const std::string file = platform::PathToUtf8(f->path().filename());
                if (!names.count(materials::NameKey(file)))
                    warning(name, "", file, "不在APLPKG.XML中，不刻入光盘");
            }
            continue;
        }
        if (name == materials::kPackageLockName)
            continue; // held by a save or repair while it runs
        if (materials::IsStagingFolderName(name) && saveRunning_)
            warning("", "", name, "另一个程序正在保存，本次检查的结果可能已经过时");
        else if (materials::IsStagingFolderName(name) && interrupted_)
            error("", "", name, "上次保存被中断且未能修复，申报资料新旧混杂，不能刻录");
        else if (materials::IsStagingFolderName(name))
            warning("", "", name, "上次保存未完成留下的临时文件夹，不刻入光盘");
        else if (name.starts_with(materials::kSetAsidePrefix))
            warning("", "", name, "未能恢复的一次保存留下的备份，不刻入光盘；确认无用后可删除");
        else if (materials::IsProgramEntryName(name))
            warning("", "", name, "程序留下的临时文件，不刻入光盘");
        else
            warning("", "", name, "不属于申报资料，不刻入光盘");
    }
}

// The same content under two entries: compared by SHA-256 among files of
// equal size only, hashed on workers.
void Checker::checkDuplicates() {
    std::map<std::uint64_t, std::size_t> bySize;
    for (const Stored& s : stored_)
        ++bySize[s.size];
    std::vector<const Stored*> compared;
    std::uint64_t total = 0;
    for (const Stored& s : stored_)
        if (bySize[s.size] > 1) {
            compared.push_back(&s);
            total += s.size;
        }
    if (total == 0)
        return;
    std::vector<std::string> digests(compared.size());
    std::atomic<std::uint64_t> read{0};
    std::atomic<bool> stop{false};
    OrderedJobs jobs(compared.size(), [&](std::size_t i) {
        digests[i] = FileDigest(compared[i]->path, compared[i]->size, stop, read);
    });
    const auto tell = [&] {
        progress(CheckObserver::Stage::Digests, std::min<std::uint64_t>(read, total), total);
        stop = !goOn();
        return !stop;
    };
    std::map<std::string, const Stored*> seen;
    for (std::size_t i = 0; i < compared.size(); ++i) {
        while (!jobs.wait(i, kPoll))
            if (!tell())
                return;
        if (!tell())
            return;
        if (digests[i].empty())
            continue;
        const Stored& s = *compared[i];
        const auto [first, fresh] = seen.emplace(digests[i], &s);
        if (!fresh)
            warning(s.material, s.entry, s.name,
                    "与【" + first->second->material + "】" + first->second->entry + "（" +
                        first->second->name + "）的文件内容相同");
    }
}

PackageCheck Checker::run() {
    XmlDocument doc;
    const fs::path stored = folder_ / materials::kStoredCopyName;
    if (!doc.load(platform::PathToUtf8(stored)) || doc.documentElement().name() != "offer") {
        error("", "", materials::kStoredCopyName, "无法读取，不是有效的申报资料清单");
        return check_;
    }
    check_.readable = true;
    checkEntries(doc);
    if (!check_.cancelled)
        checkFiles();
    if (!check_.cancelled) {
        checkList();
        checkStrays();
        checkDuplicates();
    }
    if (check_.cancelled) {
        error("", "", "", "检查已取消，未检查完毕");
        return check_;
    }

    std::error_code e;
    for (const char* own : {materials::kStoredCopyName, materials::kMaterialsListName}) {
        const fs::path path = folder_ / platform::PathFromUtf8(own);
        if (platform::IsRealFile(path))
            check_.discFiles.push_back({own, path, fs::file_size(path, e)});
    }
    for (const Stored& s : stored_)
        check_.discFiles.push_back({s.material + "/" + s.name, s.path, s.size});
    for (const disc::DiscFile& f : check_.discFiles)
        check_.totalBytes += f.size;
    if (check_.totalBytes > kDvdBytes)
        error("", "", "",
              "申报资料共" + MegaBytes(check_.totalBytes) + "M，超过单层DVD光盘的容量（" +
                  MegaBytes(kDvdBytes) + "M）");
    return check_;
}

} // namespace

int PackageCheck::count(FindingLevel level) const {
    int n = 0;
    for (const PackageFinding& f : findings)
        n += f.level == level ? 1 : 0;
    return n;
}

PackageCheck CheckPackage(const std::string& folder, ContentInspector* inspector,
                          CheckObserver* observer) {
    return Checker(folder, inspector, observer).run();
}

std::string DiscNameProblem(const std::string& name) {
    return materials::NameProblem(name);
}

std::string FindingLine(const PackageFinding& f) {
    std::string line;
    if (!f.material.empty()) {
        line = "【" + f.material + "】" + f.entry;
        if (!f.file.empty())
            line += (f.entry.empty() ? "" : "（") + f.file + (f.entry.empty() ? "" : "）");
    } else {
        line = f.file;
    }
    return line + (line.empty() ? "" : "：") + f.problem;
}

std::vector<std::string> FindingLines(const PackageCheck& check, FindingLevel level,
                                      std::size_t perKind) {
    std::vector<std::string> lines;
    std::map<std::string, std::size_t> seen; // problem → findings of it so far
    std::vector<std::string> kinds;          // problems in the order first found
    for (const PackageFinding& f : check.findings) {
        if (f.level != level)
            continue;
        const std::size_t n = ++seen[f.problem];
        if (n == 1)
            kinds.push_back(f.problem);
        if (n <= perKind)
            lines.push_back(FindingLine(f));
    }
    for (const std::string& kind : kinds)
        if (seen[kind] > perKind)
            lines.push_back("……另有 " + std::to_string(seen[kind] - perKind) + " 个文件：" + kind);
    return lines;
}

std::string FindingsText(const PackageCheck& check) {
    std::string text;
    for (FindingLevel level : {FindingLevel::Error, FindingLevel::Warning}) {
        if (check.count(level) == 0)
            continue;
        if (!text.empty())
            text += "\r\n";
        text += level == FindingLevel::Error ? "错误：" : "警告：";
        for (const std::string& line : FindingLines(check, level, kFindingsPerKind))
            text += "\r\n  " + line;
    }
    return text;
}

} // namespace disc
