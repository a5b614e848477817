#include "disc/package_check.h"

#include "materials/manifest.h"
#include "materials/modfjgl.h"
#include "materials/name_rule.h"
#include "materials/save_folder.h"
#include "platform/gbk.h"
#include "platform/utf8.h"
#include "platform/xmldoc.h"
#include "util/sha256.h"

#include <array>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <system_error>
#include <thread>
#include <utility>

namespace materials {
namespace {

namespace fs = std::filesystem;
using platform::XmlDocument;
using platform::XmlNode;

const char* const kListHeading = "上报材料清单：";

std::string ChildText(const XmlNode& node, const char* xpath) {
    return node.selectSingleNode(xpath).text();
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

std::string Extension(const std::string& name) {
    return Lower(GetExtension(name));
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

// Reads files chunk by chunk on the calling thread and computes their
// SHA-256 on a worker thread meanwhile. Chunks go through a fixed set of
// buffers, so memory stays bounded whatever the file sizes.
class DigestPipeline {
  public:
    static constexpr std::size_t kChunk = std::size_t{1} << 20;
    static constexpr std::size_t kBuffers = 4;

    DigestPipeline() : worker_([this] { hashLoop(); }) {
        for (auto& buffer : free_)
            buffer.reserve(kChunk);
    }
    ~DigestPipeline() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        worker_.join();
    }
    DigestPipeline(const DigestPipeline&) = delete;
    DigestPipeline& operator=(const DigestPipeline&) = delete;

    // The digest of a file ("" when it cannot be read through, or when
    // `stop` said so between chunks); `read` is told each chunk's size.
    std::string digest(const fs::path& file, const std::function<bool(std::size_t)>& read) {
        std::ifstream in(file, std::ios::binary);
        if (!in)
            return {};
        bool failed = false;
        while (true) {
            std::vector<char> buffer = takeFree();
            buffer.resize(kChunk);
            in.read(buffer.data(), std::streamsize(buffer.size()));
            buffer.resize(std::size_t(in.gcount()));
            const bool last = !in;
            failed = last && in.bad();
            const std::size_t size = buffer.size();
            submit(std::move(buffer), last);
            const bool goOn = read(size);
            if (last)
                break;
            if (!goOn) {
                submit({}, true); // ends the digest in progress
                failed = true;
                break;
            }
        }
        std::string digest = takeDigest();
        return failed ? std::string() : digest;
    }

  private:
    struct Chunk {
        std::vector<char> bytes;
        bool last = false;
    };

    std::vector<char> takeFree() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return freeCount_ > 0; });
        return std::move(free_[--freeCount_]);
    }
    void submit(std::vector<char> bytes, bool last) {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back({std::move(bytes), last});
        }
        changed_.notify_all();
    }
    std::string takeDigest() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return digest_.has_value(); });
        return *std::exchange(digest_, std::nullopt);
    }
    void hashLoop() {
        util::Sha256 hash;
        while (true) {
            Chunk chunk;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
                if (queue_.empty())
                    return;
                chunk = std::move(queue_.front());
                queue_.pop_front();
            }
            hash.update(chunk.bytes.data(), chunk.bytes.size());
            chunk.bytes.clear();
            std::optional<std::string> done;
            if (chunk.last)
                done = util::Sha256::Hex(hash.finish());
            {
                std::lock_guard lock(mutex_);
                if (chunk.bytes.capacity() > 0 && freeCount_ < kBuffers)
                    free_[freeCount_++] = std::move(chunk.bytes);
                if (done)
                    digest_ = std::move(done);
            }
            changed_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::array<std::vector<char>, kBuffers> free_;
    std::size_t freeCount_ = kBuffers;
    std::deque<Chunk> queue_;
    std::optional<std::string> digest_;
    bool stopping_ = false;
    std::thread worker_; // last: starts once the rest is in place
};

const std::string kOle2("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
const std::string kZip("PK\x03\x04", 4);

struct Stored {
    std::string material;
    std::string entry;
    std::string name;
    fs::path path;
    std::uint64_t size = 0;
};

class Checker {
  public:
    Checker(const std::string& folder, ContentInspector* inspector, CheckObserver* observer)
        : folder_(util::PathFromUtf8(folder)), inspector_(inspector), observer_(observer) {}

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
    void checkFile(const Stored& file);
    void checkContent(const Stored& file);
    void checkOffice(const Stored& file, const std::string& ext);
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
    std::uint64_t entriesDone_ = 0;
    PackageCheck check_;
    std::vector<Stored> stored_;                           // entries that go onto the disc
    std::vector<std::string> listed_;                      // the lines the list must hold
    std::map<std::string, std::set<std::string>> claimed_; // material key → name keys
    std::map<std::string, std::string> materialKeys_;      // material folder key → its name
    bool saveRunning_ = false;                             // a save holds the folder's lock now
    bool interrupted_ = false;      // an interrupted save waits for its repair
    std::set<bool> missingReaders_; // pdf: true, picture: false; told once each
    // Folder → its names by canonical form, listed when a linked file is missing.
    std::map<fs::path, std::map<std::string, std::string>> canonicalNames_;
};

void Checker::checkEntries(const XmlDocument& doc) {
    const XmlNode root = doc.documentElement();
    std::set<std::string> namedMaterials;
    const std::vector<XmlNode> materials = root.selectNodes(".//attachments//attachment");
    for (const XmlNode& material : materials)
        for (const XmlNode& file : material.selectNodes(".//fileList//file"))
            linkedEntries_ += ChildText(file, ".//fileUrl").empty() ? 0 : 1;
    for (const XmlNode& material : materials) {
        const std::string name = ChildText(material, ".//fjmc");
        int n = 0;
        for (const XmlNode& file : material.selectNodes(".//fileList//file")) {
            ++n;
            const std::string link = ChildText(file, ".//fileUrl");
            if (link.empty())
                continue;
            if (!goOn())
                return;
            progress(CheckObserver::Stage::Files, entriesDone_++, linkedEntries_);
            std::string entry = ChildText(file, ".//fileTitle");
            if (entry.empty())
                entry = ChildText(file, ".//fileName");
            if (entry.empty())
                entry = "第" + std::to_string(n) + "个报件";
            if (!IsStoredLink(link)) {
                error(name, entry, link, "已选择的文件尚未保存到申报资料目录，请重新保存");
                continue;
            }
            const std::string stored = LinkWithoutPrefix(link);
            listed_.push_back(std::to_string(listed_.size() + 1) + "、" + stored);
            // The one name rule, as the save applies it.
            std::string problem = NameProblem(name);
            for (const char* own : {kStoredCopyName, kMaterialsListName, kProgramEntryPrefix})
                if (problem.empty() && (SameName(name, own) ||
                                        NameKey(name).starts_with(NameKey(kProgramEntryPrefix))))
                    problem = "与申报资料自身的文件同名";
            if (!problem.empty()) {
                if (namedMaterials.insert(name).second)
                    error(name, "", "", "材料名称不能用作文件夹名：" + problem);
                continue;
            }
            if (const std::string problem = NameProblem(stored); !problem.empty()) {
                error(name, entry, stored, "文件名无效：" + problem);
                continue;
            }
            if (namedMaterials.insert(name).second) {
                const auto [first, fresh] = materialKeys_.emplace(NameKey(name), name);
                if (!fresh && first->second != name)
                    error(name, "", "",
                          "与材料【" + first->second +
                              "】的名称只有大小写不同，在Windows和光盘上是同一个文件夹");
            }
            if (const auto first = materialKeys_.find(NameKey(name));
                first != materialKeys_.end() && first->second != name)
                continue;
            if (const std::string problem = PathProblem(name, stored); !problem.empty()) {
                error(name, entry, stored, problem);
                continue;
            }
            if (!claimed_[NameKey(name)].insert(NameKey(stored)).second) {
                error(name, entry, stored, "与同一材料中另一报件链接同一个文件");
                continue;
            }
            checkFile({name, entry, stored,
                       folder_ / util::PathFromUtf8(name) / util::PathFromUtf8(stored), 0});
        }
    }
}

// The name (material/file) of a file in the folder whose path differs from
// the linked one only by Unicode normalisation (a folder that passed through
// macOS holds decomposed names); "" when there is none. Each folder is listed
// once.
std::string Checker::normalisationTwin(const std::string& material, const std::string& name) {
    const auto twinIn = [this](const fs::path& folder, const std::string& wanted) {
        auto [names, fresh] = canonicalNames_.try_emplace(folder);
        std::error_code e;
        for (fs::directory_iterator it(folder, e), end; fresh && !e && it != end; it.increment(e)) {
            const std::string found = util::PathToUtf8(it->path().filename());
            names->second.emplace(CanonicalForm(found), found);
        }
        const auto twin = names->second.find(CanonicalForm(wanted));
        return twin == names->second.end() ? std::string() : twin->second;
    };
    const std::string folder = twinIn(folder_, material);
    const std::string file =
        folder.empty() ? std::string() : twinIn(folder_ / util::PathFromUtf8(folder), name);
    if (file.empty() || (folder == material && file == name))
        return {};
    return folder == material ? file : folder + "/" + file;
}

void Checker::checkFile(const Stored& file) {
    std::error_code e;
    // A material folder that is a link could lead outside the package.
    const fs::file_status folder = fs::symlink_status(file.path.parent_path(), e);
    if (fs::exists(folder) && !fs::is_directory(folder)) {
        error(file.material, file.entry, file.name, "材料文件夹不是普通文件夹");
        return;
    }
    const fs::file_status status = fs::symlink_status(file.path, e);
    if (!fs::exists(status)) {
        if (const std::string twin = normalisationTwin(file.material, file.name); !twin.empty())
            error(file.material, file.entry, twin,
                  "文件名与APLPKG.XML中的写法只有Unicode规范化形式不同（文件夹可能经过macOS等系统"
                  "复制），审批机关按清单找不到该文件，请重新选择文件并保存");
        else
            error(file.material, file.entry, file.name, "文件不存在（保存后被删除或改名）");
        return;
    }
    if (!fs::is_regular_file(status)) {
        error(file.material, file.entry, file.name, "不是普通文件");
        return;
    }
    const std::uint64_t size = fs::file_size(file.path, e);
    if (e || size == 0) {
        error(file.material, file.entry, file.name, "文件为空（0字节）");
        return;
    }
    if (!Readable(file.path)) {
        error(file.material, file.entry, file.name, "文件无法读取");
        return;
    }
    Stored found = file;
    found.size = size;
    stored_.push_back(found);
    checkContent(found);
}

void Checker::checkContent(const Stored& file) {
    const std::string ext = Extension(file.name);
    const auto inspect = [&](bool pdf) {
        if (!inspector_)
            return;
        const ContentInspector::Verdict verdict =
            pdf ? inspector_->inspectPdf(file.path) : inspector_->inspectImage(file.path);
        if (verdict == ContentInspector::Verdict::NoReader) {
            if (missingReaders_.insert(pdf).second)
                warning("", "", "",
                        pdf ? "本程序的PDF组件（quillor-pdf）缺失，未能检查PDF文件能否打开，"
                              "请重新安装本程序"
                            : "本程序的图片组件缺失，未能检查图片能否打开，请重新安装本程序");
        } else if (verdict == ContentInspector::Verdict::Locked)
            error(file.material, file.entry, file.name, "PDF文件有密码保护，审批机关无法打开");
        else if (verdict == ContentInspector::Verdict::Unreadable)
            error(file.material, file.entry, file.name,
                  pdf ? "PDF文件无法打开（文件已损坏或不是PDF文件）"
                      : "图片无法解码（文件已损坏或不是图片文件）");
    };
    if (ext == "pdf") {
        inspect(true);
    } else if (ext == "jpg" || ext == "jpeg" || ext == "png" || ext == "bmp" || ext == "gif" ||
               ext == "tif" || ext == "tiff") {
        inspect(false);
    } else if (ext == "doc" || ext == "xls" || ext == "docx" || ext == "xlsx") {
        checkOffice(file, ext);
    }
}

// The containers Office files really come in: OLE2 (Word 97-2003, Excel
// 97-2003), an OOXML zip (.docx, .xlsx) and, for Word, RTF, which Word and
// WPS keep when a .doc holding RTF (as the downloaded template is) is edited
// and saved under its own name. A mismatch that Office still opens is a
// warning; only a file that is none of them is an error.
void Checker::checkOffice(const Stored& file, const std::string& ext) {
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
        warning(file.material, file.entry, file.name,
                old ? "扩展名为." + ext + "，内容却是新版Office（." + ext + "x）格式"
                    : "扩展名为." + ext + "，内容却是旧版Office（." + ext.substr(0, 3) + "）格式");
    else if (found == Container::Rtf && word)
        warning(file.material, file.entry, file.name,
                "扩展名为." + ext + "，内容却是RTF格式（Word可以打开）");
    else
        error(file.material, file.entry, file.name,
              ext == "doc" ? "文件头不是Word文件（OLE2或RTF）格式，文件可能已损坏"
              : old ? "文件头不是Word/Excel文件（OLE2）格式，文件可能已损坏"
                    : "文件头不是Word/Excel文件（ZIP）格式，文件可能已损坏");
}

// "材料清单.txt" lists, after its heading, one numbered line per stored entry
// of the manifest, in manifest order.
void Checker::checkList() {
    const fs::path path = folder_ / util::PathFromUtf8(kMaterialsListName);
    std::error_code e;
    if (!fs::is_regular_file(fs::symlink_status(path, e))) {
        error("", "", kMaterialsListName, "文件不存在，请重新保存");
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
        error("", "", kMaterialsListName, "缺少“上报材料清单：”一节，与APLPKG.XML不一致");
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
        error("", "", kMaterialsListName, problem + "，请重新保存");
        return;
    }
}

// Everything in the folder that is not the package's stays off the disc.
void Checker::checkStrays() {
    const std::string folder = util::PathToUtf8(folder_);
    saveRunning_ = SaveRunning(folder);
    interrupted_ = !saveRunning_ && HasInterruptedSave(folder);
    std::error_code e;
    for (fs::directory_iterator it(folder_, e), end; !e && it != end; it.increment(e)) {
        const std::string name = util::PathToUtf8(it->path().filename());
        const bool folder = fs::is_directory(it->symlink_status(e));
        if (!folder && (name == kStoredCopyName || name == kMaterialsListName))
            continue;
        const auto material = materialKeys_.find(NameKey(name));
        if (folder && material != materialKeys_.end() && material->second == name) {
            const std::set<std::string>& names = claimed_[NameKey(name)];
            std::error_code inner;
            for (fs::directory_iterator f(it->path(), inner), fend; !inner && f != fend;
                 f.increment(inner)) {
                const std::string file = util::PathToUtf8(f->path().filename());
                if (!names.count(NameKey(file)))
                    warning(name, "", file, "不在APLPKG.XML中，不刻入光盘");
            }
            continue;
        }
        if (name == kPackageLockName)
            continue; // held by a save or repair while it runs
        if (IsStagingFolderName(name) && saveRunning_)
            warning("", "", name, "另一个程序正在保存，本次检查的结果可能已经过时");
        else if (IsStagingFolderName(name) && interrupted_)
            error("", "", name, "上次保存被中断且未能修复，申报资料新旧混杂，不能刻录");
        else if (IsStagingFolderName(name))
            warning("", "", name, "上次保存未完成留下的临时文件夹，不刻入光盘");
        else if (name.starts_with(kSetAsidePrefix))
            warning("", "", name, "未能恢复的一次保存留下的备份，不刻入光盘；确认无用后可删除");
        else if (IsProgramEntryName(name))
            warning("", "", name, "程序留下的临时文件，不刻入光盘");
        else
            warning("", "", name, "不属于申报资料，不刻入光盘");
    }
}

// The same content under two entries: compared by SHA-256 among files of
// equal size only.
void Checker::checkDuplicates() {
    std::map<std::uint64_t, std::vector<const Stored*>> bySize;
    for (const Stored& s : stored_)
        bySize[s.size].push_back(&s);
    std::uint64_t total = 0, done = 0;
    for (const Stored& s : stored_)
        total += bySize[s.size].size() < 2 ? 0 : s.size;
    if (total == 0)
        return;
    DigestPipeline pipeline;
    std::map<std::string, const Stored*> seen;
    for (const Stored& s : stored_) {
        if (bySize[s.size].size() < 2)
            continue;
        if (!goOn())
            return;
        progress(CheckObserver::Stage::Digests, done, total);
        const std::string digest = pipeline.digest(s.path, [&](std::size_t read) {
            done += read;
            progress(CheckObserver::Stage::Digests, done, total);
            return goOn();
        });
        if (!goOn())
            return;
        if (digest.empty())
            continue;
        const auto [first, fresh] = seen.emplace(digest, &s);
        if (!fresh)
            warning(s.material, s.entry, s.name,
                    "与【" + first->second->material + "】" + first->second->entry + "（" +
                        first->second->name + "）的文件内容相同");
    }
}

PackageCheck Checker::run() {
    XmlDocument doc;
    const fs::path stored = folder_ / kStoredCopyName;
    if (!doc.load(util::PathToUtf8(stored)) || doc.documentElement().name() != "offer") {
        error("", "", kStoredCopyName, "无法读取，不是有效的申报资料清单");
        return check_;
    }
    check_.readable = true;
    checkEntries(doc);
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
    for (const char* own : {kStoredCopyName, kMaterialsListName}) {
        const fs::path path = folder_ / util::PathFromUtf8(own);
        if (fs::is_regular_file(fs::symlink_status(path, e)))
            check_.discFiles.push_back({own, path, fs::file_size(path, e)});
    }
    for (const Stored& s : stored_)
        check_.discFiles.push_back({s.material + "/" + s.name, s.path, s.size});
    for (const platform::DiscFile& f : check_.discFiles)
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
    return NameProblem(name);
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

} // namespace materials
