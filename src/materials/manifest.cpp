#include "materials/manifest.h"

#include "materials/kept_manifest.h"
#include "materials/modfjgl.h"
#include "platform/durable_file.h"
#include "platform/file_copy.h"
#include "platform/file_read.h"
#include "platform/folder_handle.h"
#include "platform/prompter.h"
#include "platform/temp_copy.h"
#include "platform/utf8.h"
#include "platform/xmldoc.h"
#include "util/convert.h"
#include "util/frmutil.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <system_error>
#include <unordered_map>

namespace materials {
namespace {

using platform::XmlDocument;
using platform::XmlNode;

enum class MissingMessage { WithPath, Short };

void ReportMissing(const std::string& path, MissingMessage kind) {
    if (kind == MissingMessage::WithPath)
        platform::Notify("XML文件不存在-" + path, "提示", platform::MsgIcon::Exclamation);
    else
        platform::CurrentPrompter().message("XML文件不存在", "", platform::MsgIcon::None,
                                            platform::MsgButtons::Ok);
}

// The common frame: the loaded manifest, or nothing after the message.
XmlDocument* LoadManifest(const std::string& path, MissingMessage kind) {
    XmlDocument* doc = LoadKept(path);
    if (doc == nullptr)
        ReportMissing(path, kind);
    return doc;
}

XmlNode Offer(const XmlDocument& doc) {
    XmlNode root = doc.documentElement();
    return root.name() == "offer" ? root : XmlNode();
}

std::vector<XmlNode> Materials(const XmlDocument& doc) {
    return Offer(doc).selectNodes(".//attachments//attachment");
}

std::string ChildText(const XmlNode& node, const char* xpath) {
    return node.selectSingleNode(xpath).text();
}

// First material whose fjid equals the key; one without the attribute never matches.
XmlNode FindMaterial(const XmlDocument& doc, const std::string& fjid) {
    for (const XmlNode& material : Materials(doc)) {
        const std::optional<std::string> key = material.attribute("fjid");
        if (key && *key == fjid)
            return material;
    }
    return XmlNode();
}

std::vector<XmlNode> FileEntries(const XmlNode& material) {
    return material.selectNodes(".//fileList//file");
}

XmlNode FindEntry(const XmlNode& material, const std::string& xh) {
    for (const XmlNode& file : FileEntries(material))
        if (ChildText(file, ".//fileXh") == xh)
            return file;
    return XmlNode();
}

// Sets the text of the first descendant found; true when the text changed.
bool SetChildText(const XmlNode& node, const char* xpath, const std::string& text) {
    XmlNode child = node.selectSingleNode(xpath);
    if (child.isNull() || child.text() == text)
        return false;
    child.setText(text);
    return true;
}

bool SaveIf(bool changed, const XmlDocument& doc, const std::string& path) {
    return changed && SaveReported(doc, path);
}

// A single folder or file name that stays where it is put: no separators, no
// drive colon, no control characters, and not only dots and spaces (".", "..",
// and forms that Windows trims to them).
bool IsPlainName(const std::string& name) {
    if (name.find_first_of("\\/:") != std::string::npos)
        return false;
    if (std::any_of(name.begin(), name.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
        return false;
    return name.find_first_not_of(". ") != std::string::npos;
}

std::uint64_t KbOf(const std::string& kbText) {
    return kbText.empty() ? 0 : std::stoull(kbText);
}

std::string KbText(std::uint64_t kb) {
    return kb == 0 ? std::string() : std::to_string(kb);
}

std::uint64_t MaterialKb(const XmlNode& material, const std::string& storageFolder) {
    const std::string name = ChildText(material, ".//fjmc");
    std::uint64_t sum = 0;
    for (const XmlNode& file : FileEntries(material))
        sum += KbOf(getFileKb(ChildText(file, ".//fileUrl"), name, storageFolder));
    return sum;
}

MaterialRow RowOf(const XmlNode& material) {
    return MaterialRow{ChildText(material, ".//fjxh"),
                       ChildText(material, ".//fjmc"),
                       ChildText(material, ".//dzjs"),
                       material.getAttribute("fjid"),
                       {}};
}

std::string ReplaceLfByCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

XmlNode NewEntryChild(XmlDocument& doc, const char* name, const char* title,
                      const std::string& text) {
    XmlNode child = doc.createElement(name);
    child.setAttribute("title", title);
    child.setText(text);
    return child;
}

std::string GeneratedName(const std::string& number) {
    return kGeneratedEntryName + number;
}

std::string TipsOf(const XmlDocument& doc, const std::string& fjid) {
    return ReplaceLfByCrLf(ChildText(FindMaterial(doc, fjid), ".//fjms"));
}

std::optional<std::vector<FileRow>> FileRowsOf(const XmlDocument& doc, const std::string& fjid,
                                               const std::string& storageFolder) {
    const XmlNode material = FindMaterial(doc, fjid);
    if (material.isNull())
        return std::nullopt;
    const std::string materialName = ChildText(material, ".//fjmc");
    std::vector<FileRow> rows;
    for (const XmlNode& file : FileEntries(material)) {
        FileRow row{ChildText(file, ".//fileXh"),
                    ChildText(file, ".//fileName"),
                    ChildText(file, ".//fileTitle"),
                    ChildText(file, ".//fileUrl"),
                    {},
                    ChildText(file, ".//filems")};
        row.kb = getFileKb(row.link, materialName, storageFolder);
        rows.push_back(std::move(row));
    }
    return rows;
}

// Each row's kb is what getFjKb gives for the row's key: the size of the first
// material with that key, so later materials sharing a key show the first one's.
std::vector<MaterialRow> MaterialRowsWithSizes(const XmlDocument& doc,
                                               const std::string& storageFolder) {
    const std::vector<XmlNode> materials = Materials(doc);
    std::unordered_map<std::string, std::string> kbByKey;
    for (const XmlNode& material : materials) {
        const std::optional<std::string> key = material.attribute("fjid");
        if (key && !kbByKey.contains(*key))
            kbByKey.emplace(*key, KbText(MaterialKb(material, storageFolder)));
    }
    std::vector<MaterialRow> rows;
    rows.reserve(materials.size());
    for (const XmlNode& material : materials) {
        MaterialRow row = RowOf(material);
        const auto found = kbByKey.find(row.key);
        if (found != kbByKey.end())
            row.kb = found->second;
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace

// ---- package mark and stored copies ----

std::string ReadPackageMark(const std::string& path) {
    XmlDocument doc;
    if (!doc.load(path)) {
        ReportMissing(path, MissingMessage::Short);
        return {};
    }
    return Offer(doc).attributeValue(1);
}

bool PackageMarkAccepted(const std::string& mark, const std::string& fileMark) {
    return fileMark.find(mark) != std::string::npos;
}

std::filesystem::path StoredCopyPath(const std::string& folder) {
    return platform::PathFromUtf8(folder) / kStoredCopyName;
}

namespace {

// HoldsAcceptedPackage, handing over the stored copy as read and parsed.
bool AcceptedStoredCopy(const std::string& folder, const std::string& fileMark, XmlDocument& doc,
                        std::string& bytes) {
    if (folder.empty())
        return false;
    const std::filesystem::path stored = StoredCopyPath(folder);
    // Only a regular file of the folder itself: a link may lead anywhere on
    // the machine, a pipe would block the reading.
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::symlink_status(stored, error);
    if (!std::filesystem::exists(status))
        return false;
    const bool regular = std::filesystem::is_regular_file(status);
    if (!regular || !doc.load(stored, &bytes)) {
        platform::Notify(
            "XML文件无法读取-" + platform::PathToUtf8(stored) + "\r\n（" +
                (regular ? doc.errorText() : platform::XmlErrorText(platform::XmlError::NotAFile)) +
                "）",
            "提示", platform::MsgIcon::Exclamation);
        return false;
    }
    return PackageMarkAccepted(Offer(doc).attributeValue(1), fileMark);
}

} // namespace

bool HoldsAcceptedPackage(const std::string& folder, const std::string& fileMark) {
    XmlDocument doc;
    std::string bytes;
    return AcceptedStoredCopy(folder, fileMark, doc, bytes);
}

namespace {

// Copies the stored copy over the working copy: a fresh, writable file (a copy
// taken from a disc must not keep the disc's read-only attribute), written
// beside the working copy and renamed onto it, so a failed copy leaves the
// previous working copy as it was.
bool CopyToWorkingCopy(const std::filesystem::path& stored, const std::filesystem::path& work) {
    namespace fs = std::filesystem;
    fs::path temp = work;
    temp += ".taking~";
    std::error_code error;
    fs::remove(temp, error);
    const platform::CopyResult copied = platform::CopyFileData(stored, temp, std::size_t{1} << 20);
    if (copied.ok()) {
        fs::permissions(temp, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add,
                        error);
        // A read-only working copy left behind would refuse the rename on Windows.
        if (platform::IsRealFile(work))
            fs::permissions(work, fs::perms::owner_write, fs::perm_options::add, error);
        return !platform::CommitTemporary(temp, work);
    }
    fs::remove(temp, error);
    return false;
}

std::string EntryLabel(const XmlNode& file) {
    const std::string title = ChildText(file, ".//fileTitle");
    return title.empty() ? "第" + ChildText(file, ".//fileXh") + "个报件" : title;
}

// Looks a stored copy that came from elsewhere over before it becomes the
// working copy, mends what would mislead the window or the save and returns
// one line per problem for the user:
// - a link that is neither empty nor local is cleared: it would send the
//   sizes and the save to a file outside the package (an absolute path), or
//   to one wherever the program happens to run (a relative path);
// - a count (dzjs) that differs from the entries linked is set right;
// - a key (fjid) that two materials share, and names that cannot be a folder
//   or file of the package, are pointed out (the save refuses their files).
// Everything is read first and the edits go deepest first: elements of a
// hostile manifest may lie inside one another.
std::vector<std::string> ReviewStoredCopy(XmlDocument& doc, bool& changed) {
    std::vector<std::string> problems;
    std::vector<platform::XmlEdit> edits;
    std::vector<std::pair<std::string, std::string>> keys; // fjid, first material's name
    if (doc.documentElement().name() != "offer")
        problems.push_back("清单文件的根元素不是offer，其中没有可用的材料");
    for (const XmlNode& material : Materials(doc)) {
        const std::string name = ChildText(material, ".//fjmc");
        const std::optional<std::string> key = material.attribute("fjid");
        if (key) {
            const auto same = std::find_if(keys.begin(), keys.end(),
                                           [&](const auto& k) { return k.first == *key; });
            if (same == keys.end())
                keys.emplace_back(*key, name);
            else
                problems.push_back("材料【" + name + "】与【" + same->second + "】的编号“" + *key +
                                   "”相同，只能操作其中第一项");
        }
        const bool storableMaterial = IsStorableName(name);
        if (!storableMaterial)
            problems.push_back("材料名称“" + name + "”不能用作文件夹名（" + NameProblem(name) +
                               "），该材料的文件无法保存");
        int linked = 0, cleared = 0;
        for (const XmlNode& file : FileEntries(material)) {
            const XmlNode url = file.selectSingleNode(".//fileUrl");
            const std::string link = url.text();
            const std::string fileName = ChildText(file, ".//fileName");
            if (storableMaterial && !IsStorableName(fileName))
                problems.push_back("【" + name + "】" + EntryLabel(file) + "：报件名称“" +
                                   fileName + "”不能用作文件名（" + NameProblem(fileName) + "）");
            if (link.empty())
                continue;
            if (IsStoredLink(link)) {
                ++linked;
                continue;
            }
            problems.push_back("【" + name + "】" + EntryLabel(file) +
                               "：链接的文件不在申报资料存储路径中，链接已清除（" + link + "）");
            edits.push_back({url, {}});
            ++cleared;
        }
        // Counted again after links were cleared; named only when it was wrong
        // in the file already.
        const XmlNode count = material.selectSingleNode(".//dzjs");
        const std::string counted = std::to_string(linked);
        if (!count.isNull() && count.text() != counted) {
            if (count.text() != std::to_string(linked + cleared))
                problems.push_back("【" + name + "】报件数“" + count.text() + "”不正确，已改为" +
                                   counted);
            edits.push_back({count, counted});
        }
    }
    changed = !edits.empty();
    platform::ApplyEdits(std::move(edits));
    return problems;
}

void ReportProblems(const std::vector<std::string>& problems) {
    constexpr std::size_t kListed = 20;
    std::string text = "打开的申报资料中有以下问题：";
    for (std::size_t i = 0; i < problems.size() && i < kListed; ++i)
        text += "\r\n  " + problems[i];
    if (problems.size() > kListed)
        text += "\r\n  ……（共" + std::to_string(problems.size()) + "项）";
    platform::Notify(text, "提示", platform::MsgIcon::Exclamation);
}

} // namespace

bool TakeStoredCopy(const std::string& folder, const std::string& fileMark,
                    const std::string& workPath) {
    XmlDocument stored;
    std::string bytes;
    if (!AcceptedStoredCopy(folder, fileMark, stored, bytes))
        return false;
    if (!CopyToWorkingCopy(StoredCopyPath(folder), platform::PathFromUtf8(workPath))) {
        platform::Notify("XML文件无法保存-" + workPath, "提示", platform::MsgIcon::Exclamation);
        return false;
    }
    // The tree just read serves the working copy as long as the copy holds
    // the same bytes (LoadKept compares them); kept for the window.
    KeepManifestTree(workPath, std::move(stored), std::move(bytes));
    XmlDocument* const doc = LoadKept(workPath);
    if (doc == nullptr)
        return true; // read and checked a moment ago; the listing reports it
    bool changed = false;
    const std::vector<std::string> problems = ReviewStoredCopy(*doc, changed);
    if (changed)
        SaveReported(*doc, workPath);
    if (!problems.empty())
        ReportProblems(problems);
    return true;
}

// ---- links and sizes ----

std::optional<std::filesystem::path> ResolveLink(const std::string& link,
                                                 const std::string& materialName,
                                                 const std::string& storageFolder) {
    if (link.empty())
        return std::nullopt;
    if (!IsStoredLink(link)) {
        // A source path as the file dialog gives it: absolute. A relative one
        // would be resolved against whatever folder the program runs in.
        std::filesystem::path source = platform::PathFromUtf8(link);
        return source.is_absolute() ? std::optional(std::move(source)) : std::nullopt;
    }
    const std::string storedName = LinkWithoutPrefix(link);
    if (storageFolder.empty() || !IsPlainName(materialName) || !IsPlainName(storedName))
        return std::nullopt;
    return platform::PathFromUtf8(storageFolder) / platform::PathFromUtf8(materialName) /
           platform::PathFromUtf8(storedName);
}

std::string getFileKb(const std::string& link, const std::string& materialName,
                      const std::string& storageFolder) {
    const std::optional<std::filesystem::path> path =
        ResolveLink(link, materialName, storageFolder);
    std::error_code error;
    if (!path || !std::filesystem::is_regular_file(*path, error))
        return {};
    // A stored file lies in the package itself: neither it nor its material's
    // folder may be a link that leads elsewhere.
    if (IsStoredLink(link) &&
        (!platform::IsRealFile(*path) || !platform::IsRealFolder(path->parent_path())))
        return {};
    const std::uintmax_t bytes = std::filesystem::file_size(*path, error);
    if (error)
        return {};
    return KbText((bytes + 1023) / 1024);
}

std::string getFjKb(const std::string& fjid, const std::string& path,
                    const std::string& storageFolder) {
    XmlDocument* const doc = LoadManifest(path, MissingMessage::WithPath);
    if (!doc)
        return {};
    const XmlNode material = FindMaterial(*doc, fjid);
    return material ? KbText(MaterialKb(material, storageFolder)) : std::string();
}

std::int32_t getTotalMb(const std::vector<std::string>& kbColumn) {
    double kb = 0;
    for (const std::string& text : kbColumn)
        kb += util::LeadingNumber(text);
    const double mb = std::ceil(kb / 1024);
    return mb >= std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                          : static_cast<std::int32_t>(mb);
}

// ---- reading ----

std::string ReadTips(const std::string& fjid, const std::string& path) {
    XmlDocument* const doc = LoadManifest(path, MissingMessage::WithPath);
    return doc ? TipsOf(*doc, fjid) : std::string();
}

std::optional<std::vector<MaterialRow>> ReadFjlb(const std::string& path) {
    XmlDocument* const doc = LoadManifest(path, MissingMessage::WithPath);
    if (!doc)
        return std::nullopt;
    std::vector<MaterialRow> rows;
    for (const XmlNode& material : Materials(*doc))
        rows.push_back(RowOf(material));
    return rows;
}

std::optional<std::vector<FileRow>> ReadWjlb(const std::string& fjid, const std::string& path,
                                             const std::string& storageFolder) {
    XmlDocument* const doc = LoadManifest(path, MissingMessage::WithPath);
    return doc ? FileRowsOf(*doc, fjid, storageFolder) : std::nullopt;
}

std::optional<std::vector<MaterialRow>> ReadMaterialsWithSizes(const std::string& path,
                                                               const std::string& storageFolder) {
    XmlDocument* const doc = LoadManifest(path, MissingMessage::WithPath);
    return doc ? std::optional(MaterialRowsWithSizes(*doc, storageFolder)) : std::nullopt;
}

std::optional<OpeningView> ReadOpeningView(const std::string& path,
                                           const std::string& storageFolder) {
    XmlDocument* const doc = LoadManifest(path, MissingMessage::WithPath);
    if (!doc)
        return std::nullopt;
    OpeningView view;
    view.materials = MaterialRowsWithSizes(*doc, storageFolder);
    if (!view.materials.empty()) {
        const std::string& key = view.materials.front().key;
        view.firstFiles = FileRowsOf(*doc, key, storageFolder);
        view.firstTips = TipsOf(*doc, key);
    }
    return view;
}

bool IsOldLayout(const std::vector<MaterialRow>& rows, const std::string& subItemName) {
    return std::none_of(rows.begin(), rows.end(), [&](const MaterialRow& row) {
        return subItemName == "变更" || row.name.find("单位情况简表") != std::string::npos;
    });
}

bool EntryMarksOldLayout(const std::string& subItemName, const std::string& entryTitle) {
    return subItemName == "变更" && entryTitle.find(')') == std::string::npos;
}

// ---- the materials list ----

std::optional<std::vector<std::string>> ReadLinkedTitles(const std::string& path) {
    if (!util::FileExists(path)) {
        ReportMissing(path, MissingMessage::WithPath);
        return std::nullopt;
    }
    // Read from a snapshot, so the list is one consistent state of the file.
    XmlDocument doc;
    {
        const std::optional<platform::TempCopy> copy =
            platform::TempCopy::Of(platform::PathFromUtf8(path), kListCopyStem);
        if (!copy || !doc.load(copy->path())) {
            ReportMissing(path, MissingMessage::WithPath);
            return std::nullopt;
        }
    }
    std::vector<std::string> titles;
    for (const XmlNode& material : Materials(doc)) {
        if (!(util::LeadingNumber(ChildText(material, ".//dzjs")) > 0))
            continue;
        for (const XmlNode& file : FileEntries(material))
            if (!ChildText(file, ".//fileUrl").empty())
                titles.push_back(ChildText(file, ".//fileTitle"));
    }
    return titles;
}

// ---- changing ----

bool saveWjlbUrl(const std::string& fjid, const std::string& xh, const std::string& url,
                 const std::string& path) {
    XmlDocument* const doc = LoadManifest(path, MissingMessage::WithPath);
    if (!doc)
        return false;
    const XmlNode entry = FindEntry(FindMaterial(*doc, fjid), xh);
    return SaveIf(SetChildText(entry, ".//fileUrl", url), *doc, path);
}

bool saveWjlbTitle(const std::string& fjid, const std::string& xh, const std::string& title,
                   const std::string& path) {
    XmlDocument* const doc = LoadManifest(path, MissingMessage::WithPath);
    if (!doc)
        return false;
    const XmlNode entry = FindEntry(FindMaterial(*doc, fjid), xh);
    bool changed = SetChildText(entry, ".//fileTitle", title);
    changed = SetChildText(entry, ".//fileName", title) || changed;
    changed = SetChildText(entry, ".//filems", title) || changed;
    return SaveIf(changed, *doc, path);
}

std::int16_t readAndsaveFilecount(const std::string& fjid, const std::string& path) {
    XmlDocument* const doc = LoadManifest(path, MissingMessage::WithPath);
    if (!doc)
        return 0;
    const XmlNode material = FindMaterial(*doc, fjid);
    if (material.isNull())
        return 0;
    const std::vector<XmlNode> files = FileEntries(material);
    const auto linked = std::count_if(files.begin(), files.end(), [](const XmlNode& file) {
        return !ChildText(file, ".//fileUrl").empty();
    });
    const auto count = static_cast<std::int16_t>(
        std::min<std::ptrdiff_t>(linked, std::numeric_limits<std::int16_t>::max()));
    SaveIf(SetChildText(material, ".//dzjs", std::to_string(count)), *doc, path);
    return count;
}

bool addWjlb(const std::string& fjid, int n, const std::string& name, const std::string& title,
             const std::string& path) {
    XmlDocument* const doc = LoadManifest(path, MissingMessage::Short);
    if (!doc)
        return false;
    const XmlNode list = FindMaterial(*doc, fjid).selectSingleNode(".//fileList");
    if (list.isNull())
        return false;
    XmlNode file = doc->createElement("file");
    file.appendChild(NewEntryChild(*doc, "fileXh", "文件序号", std::to_string(n)));
    file.appendChild(NewEntryChild(*doc, "fileName", "文件标准文件名", name));
    file.appendChild(NewEntryChild(*doc, "fileTitle", "文件标题", title));
    file.appendChild(NewEntryChild(*doc, "fileUrl", "文件路径", ""));
    file.appendChild(NewEntryChild(*doc, "filems", "文件描述", ""));
    list.appendChild(file);
    return SaveReported(*doc, path);
}

bool NameFollowsNumber(const std::string& name, const std::string& title,
                       const std::string& number) {
    const std::string generated = GeneratedName(number);
    return name == title && (name.empty() || name == generated);
}

bool delWjlb(const std::string& fjid, const std::string& xh, const std::string& path) {
    XmlDocument* const doc = LoadManifest(path, MissingMessage::Short);
    if (!doc)
        return false;
    const XmlNode list = FindMaterial(*doc, fjid).selectSingleNode(".//fileList");
    if (list.isNull())
        return false;
    // Without an entry of this number nothing is removed, so nothing is
    // renumbered or renamed either (that would leave numbers twice over).
    const std::vector<XmlNode> files = list.selectNodes(".//file");
    const auto target = std::find_if(files.begin(), files.end(), [&](const XmlNode& file) {
        return ChildText(file, ".//fileXh") == xh;
    });
    if (target == files.end())
        return false;
    // All texts are read first and the changes applied deepest first, so no
    // entry nested inside another one's elements is used after it was freed.
    const double d = util::LeadingNumber(xh);
    std::vector<platform::XmlEdit> edits;
    for (auto it = files.begin(); it != files.end(); ++it) {
        if (it == target)
            continue;
        const std::string numberText = ChildText(*it, ".//fileXh");
        const double k = util::LeadingNumber(numberText);
        // Titles the user typed survive the renumbering; only the generated
        // names follow the numbers.
        const bool generated = NameFollowsNumber(ChildText(*it, ".//fileName"),
                                                 ChildText(*it, ".//fileTitle"), numberText);
        std::string number = numberText;
        if (k > d) {
            number = DecimalText(k - 1);
            edits.push_back({it->selectSingleNode(".//fileXh"), number});
        }
        if (generated) {
            edits.push_back({it->selectSingleNode(".//fileName"), GeneratedName(number)});
            edits.push_back({it->selectSingleNode(".//fileTitle"), GeneratedName(number)});
        }
    }
    edits.push_back({*target, {}, true});
    platform::ApplyEdits(std::move(edits));
    return SaveReported(*doc, path);
}

bool IsStoredLink(std::string_view link) {
    return link.starts_with(kLocalPrefix);
}

namespace {

std::string LinkStateOf(const XmlDocument& doc) {
    std::string state;
    for (const XmlNode& file : doc.documentElement().selectNodes("//file"))
        for (const char* field : {".//fileName", ".//fileTitle", ".//fileUrl"})
            state += file.selectSingleNode(field).text() + "\t";
    return state;
}

} // namespace

std::string LinkState(const std::string& path) {
    const XmlDocument* doc = LoadKept(path);
    return doc ? LinkStateOf(*doc) : std::string();
}

std::string LinkStateOfBytes(const std::string& bytes, const std::string& path) {
    XmlDocument doc;
    return doc.loadBytes(bytes, platform::PathFromUtf8(path)) ? LinkStateOf(doc) : std::string();
}

std::string ManifestBytes(const std::string& path) {
    platform::FileContent content =
        platform::ReadRegularFile(platform::PathFromUtf8(path), platform::kMaxXmlFileBytes);
    return content.ok() ? std::move(content.bytes) : std::string();
}

std::string LinkWithoutPrefix(const std::string& link) {
    return IsStoredLink(link) ? link.substr(std::string_view(kLocalPrefix).size()) : link;
}

} // namespace materials
