#include "materials/manifest.h"

#include "materials/modfjgl.h"
#include "platform/prompter.h"
#include "platform/temp_copy.h"
#include "platform/xmldoc.h"
#include "util/convert.h"
#include "util/frmutil.h"
#include "util/utf8.h"

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
std::optional<XmlDocument> LoadManifest(const std::string& path, MissingMessage kind) {
    XmlDocument doc;
    if (!doc.load(path)) {
        ReportMissing(path, kind);
        return std::nullopt;
    }
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
    return changed && doc.save(path);
}

std::string RemovePrefixEverywhere(const std::string& link) {
    const std::string prefix = kLocalPrefix;
    std::string out;
    std::size_t pos = 0;
    for (std::size_t hit; (hit = link.find(prefix, pos)) != std::string::npos;
         pos = hit + prefix.size())
        out += link.substr(pos, hit - pos);
    return out + link.substr(pos);
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
    const std::optional<XmlDocument> doc = LoadManifest(path, MissingMessage::Short);
    return doc ? Offer(*doc).attributeValue(1) : std::string();
}

bool PackageMarkAccepted(const std::string& mark, const std::string& fileMark) {
    return fileMark.find(mark) != std::string::npos;
}

std::filesystem::path StoredCopyPath(const std::string& folder) {
    return util::PathFromUtf8(folder) / kStoredCopyName;
}

bool HoldsAcceptedPackage(const std::string& folder, const std::string& fileMark) {
    if (folder.empty())
        return false;
    const std::string stored = util::PathToUtf8(StoredCopyPath(folder));
    if (!util::FileExists(stored))
        return false;
    const std::optional<XmlDocument> doc = LoadManifest(stored, MissingMessage::Short);
    return doc && PackageMarkAccepted(Offer(*doc).attributeValue(1), fileMark);
}

bool TakeStoredCopy(const std::string& folder, const std::string& fileMark,
                    const std::string& workPath) {
    if (!HoldsAcceptedPackage(folder, fileMark))
        return false;
    std::error_code error;
    std::filesystem::copy_file(StoredCopyPath(folder), util::PathFromUtf8(workPath),
                               std::filesystem::copy_options::overwrite_existing, error);
    return !error;
}

// ---- links and sizes ----

std::optional<std::filesystem::path> ResolveLink(const std::string& link,
                                                 const std::string& materialName,
                                                 const std::string& storageFolder) {
    if (link.empty())
        return std::nullopt;
    if (link.find(kLocalPrefix) == std::string::npos)
        return util::PathFromUtf8(link);
    const std::string storedName = RemovePrefixEverywhere(link);
    if (storageFolder.empty() || !IsPlainName(materialName) || !IsPlainName(storedName))
        return std::nullopt;
    return util::PathFromUtf8(storageFolder) / util::PathFromUtf8(materialName) /
           util::PathFromUtf8(storedName);
}

std::string getFileKb(const std::string& link, const std::string& materialName,
                      const std::string& storageFolder) {
    const std::optional<std::filesystem::path> path =
        ResolveLink(link, materialName, storageFolder);
    std::error_code error;
    if (!path || !std::filesystem::is_regular_file(*path, error))
        return {};
    const std::uintmax_t bytes = std::filesystem::file_size(*path, error);
    if (error)
        return {};
    return KbText((bytes + 1023) / 1024);
}

std::string getFjKb(const std::string& fjid, const std::string& path,
                    const std::string& storageFolder) {
    const std::optional<XmlDocument> doc = LoadManifest(path, MissingMessage::WithPath);
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
    const std::optional<XmlDocument> doc = LoadManifest(path, MissingMessage::WithPath);
    return doc ? TipsOf(*doc, fjid) : std::string();
}

std::optional<std::vector<MaterialRow>> ReadFjlb(const std::string& path) {
    const std::optional<XmlDocument> doc = LoadManifest(path, MissingMessage::WithPath);
    if (!doc)
        return std::nullopt;
    std::vector<MaterialRow> rows;
    for (const XmlNode& material : Materials(*doc))
        rows.push_back(RowOf(material));
    return rows;
}

std::optional<std::vector<FileRow>> ReadWjlb(const std::string& fjid, const std::string& path,
                                             const std::string& storageFolder) {
    const std::optional<XmlDocument> doc = LoadManifest(path, MissingMessage::WithPath);
    return doc ? FileRowsOf(*doc, fjid, storageFolder) : std::nullopt;
}

std::optional<std::vector<MaterialRow>> ReadMaterialsWithSizes(const std::string& path,
                                                               const std::string& storageFolder) {
    const std::optional<XmlDocument> doc = LoadManifest(path, MissingMessage::WithPath);
    return doc ? std::optional(MaterialRowsWithSizes(*doc, storageFolder)) : std::nullopt;
}

std::optional<OpeningView> ReadOpeningView(const std::string& path,
                                           const std::string& storageFolder) {
    const std::optional<XmlDocument> doc = LoadManifest(path, MissingMessage::WithPath);
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
            platform::TempCopy::Of(util::PathFromUtf8(path), kListCopyStem);
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
    const std::optional<XmlDocument> doc = LoadManifest(path, MissingMessage::WithPath);
    if (!doc)
        return false;
    const XmlNode entry = FindEntry(FindMaterial(*doc, fjid), xh);
    return SaveIf(SetChildText(entry, ".//fileUrl", url), *doc, path);
}

bool saveWjlbTitle(const std::string& fjid, const std::string& xh, const std::string& title,
                   const std::string& path) {
    const std::optional<XmlDocument> doc = LoadManifest(path, MissingMessage::WithPath);
    if (!doc)
        return false;
    const XmlNode entry = FindEntry(FindMaterial(*doc, fjid), xh);
    bool changed = SetChildText(entry, ".//fileTitle", title);
    changed = SetChildText(entry, ".//fileName", title) || changed;
    changed = SetChildText(entry, ".//filems", title) || changed;
    return SaveIf(changed, *doc, path);
}

std::int16_t readAndsaveFilecount(const std::string& fjid, const std::string& path) {
    const std::optional<XmlDocument> doc = LoadManifest(path, MissingMessage::WithPath);
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
    std::optional<XmlDocument> doc = LoadManifest(path, MissingMessage::Short);
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
    return doc->save(path);
}

bool NameFollowsNumber(const std::string& name, const std::string& title,
                       const std::string& number) {
    const std::string generated = GeneratedName(number);
    return name == title && (name.empty() || name == generated);
}

bool delWjlb(const std::string& fjid, const std::string& xh, const std::string& path) {
    const std::optional<XmlDocument> doc = LoadManifest(path, MissingMessage::Short);
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
    const double d = util::LeadingNumber(xh);
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
            SetChildText(*it, ".//fileXh", number);
        }
        if (generated) {
            SetChildText(*it, ".//fileName", GeneratedName(number));
            SetChildText(*it, ".//fileTitle", GeneratedName(number));
        }
    }
    // Removed last: entries nested in it are freed with it.
    target->parent().removeChild(*target);
    return doc->save(path);
}

} // namespace materials
