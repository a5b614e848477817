#pragma once
// The attachment manifest: the XML document listing the materials of an
// application item (`attachment`, key `fjid`) and, for each, its file entries
// (`file`) with their links (`fileUrl`).
//
// Every operation loads the file it is given, works on the tree and saves it
// back only when it changed something; nothing is kept between operations.
// Elements and attributes the program does not touch, and the declared
// encoding, survive. A missing or unreadable file is reported through the
// prompter ("XML文件不存在-" + path, or the short "XML文件不存在") and the
// operation returns its empty result; a change that cannot be written back is
// reported too ("XML文件无法保存-" + path), never ignored: the window would
// show what the file does not hold. Every other failing step is skipped.
//
// Where the materials window fills a grid, the operations return rows; the
// window shows them as they are.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace materials {

// The link of a stored file starts with this prefix: "Local:\\" (8 characters).
inline constexpr const char* kLocalPrefix = "Local:\\\\";
// File name of the stored copy in a package folder.
inline constexpr const char* kStoredCopyName = "APLPKG.XML";
// Name of the material whose file entries the user may add, delete and retitle.
inline constexpr const char* kOtherMaterialsName = "其他材料";
// Base of the names that "增加文件" and renumbering give: this text + number.
inline constexpr const char* kGeneratedEntryName = "其他新增材料";

// One material as the material grid shows it.
struct MaterialRow {
    std::string number;    // fjxh
    std::string name;      // fjmc
    std::string fileCount; // dzjs, as stored
    std::string key;       // fjid; empty when the attribute is missing
    std::string kb;        // total KB of its linked files (getFjKb), "" when none
};

// One file entry as the file grid shows it.
struct FileRow {
    std::string number;      // fileXh
    std::string name;        // fileName
    std::string title;       // fileTitle
    std::string link;        // fileUrl
    std::string kb;          // getFileKb of the link
    std::string description; // filems
};

// ---- package mark and stored copies ----

// Text of the second attribute of `offer`; "" when there is none or the file
// cannot be read (then after the short message).
std::string ReadPackageMark(const std::string& path);
// The package mark test against the item's 文件标识: mark occurs in it (the
// empty mark occurs in every text).
bool PackageMarkAccepted(const std::string& mark, const std::string& fileMark);
// Path of the stored copy in a package folder.
std::filesystem::path StoredCopyPath(const std::string& folder);
// Whether `folder` holds a stored copy that is readable and whose mark passes
// the test. Only a regular file of the folder itself counts (never a link that
// may lead elsewhere, never a pipe). A stored copy that is there but cannot be
// read is refused after "XML文件无法读取-" + path and the reason on the next
// line (not a regular file, too large, entities declared, nested too deep, an
// encoding error, ...), so it can never replace a working copy.
bool HoldsAcceptedPackage(const std::string& folder, const std::string& fileMark);
// When the folder holds an accepted package, copies its stored copy over the
// working copy and returns true. The working copy is always a fresh, writable
// file (a stored copy on a disc is read-only); a copy that cannot be written is
// reported ("XML文件无法保存-" + path) and leaves the working copy as it was.
// A stored copy comes from elsewhere, so the working copy is looked over:
// every link that is neither empty nor local-prefixed is cleared (it would
// lead the sizes and the save to a file outside the package, or resolve
// against the current folder), counts (dzjs) that differ from the linked
// entries are set right, and keys used twice and names that cannot be a
// folder or file of the package are pointed out, all in one message
// ("打开的申报资料中有以下问题：", one line each).
bool TakeStoredCopy(const std::string& folder, const std::string& fileMark,
                    const std::string& workPath);

// ---- links and sizes ----

// Whether the link is a stored file's link: it starts with the prefix. A link
// that holds the prefix elsewhere (an absolute path through a folder named
// "Local:\\") is not one.
bool IsStoredLink(std::string_view link);
// A stored file's link without its prefix: the standard file name it was
// stored under (what follows is judged by the name rule; a second prefix makes
// it no name). Any other link as it is.
std::string LinkWithoutPrefix(const std::string& link);

// Path on disk of a link: nothing for the empty link; a local-prefix link
// lies in storageFolder / materialName / (link without the prefix) and resolves
// to nothing when there is no storage folder or when the material name or the
// rest of the link could lead elsewhere (separators, drive colon, "." or "..").
// Any other link is the source path as the user chose it, which is absolute: a
// relative one resolves to nothing (never against the current folder).
std::optional<std::filesystem::path> ResolveLink(const std::string& link,
                                                 const std::string& materialName,
                                                 const std::string& storageFolder);
// Size of the linked file in whole KB, rounded up; "" for no link, a missing
// file or an empty one, and for a stored file that is a link, or lies in a
// material folder that is a link (it may lead anywhere).
std::string getFileKb(const std::string& link, const std::string& materialName,
                      const std::string& storageFolder);
// Total KB of a material's linked files; "" when 0 or the material is not found.
std::string getFjKb(const std::string& fjid, const std::string& path,
                    const std::string& storageFolder);
// Total MB of the package from the KB column of the material grid, rounded up.
std::int32_t getTotalMb(const std::vector<std::string>& kbColumn);

// ---- reading ----

// The `fjms` text of a material with every LF turned into CR LF.
std::string ReadTips(const std::string& fjid, const std::string& path);
// All materials (kb left empty); nullopt when the file cannot be read.
std::optional<std::vector<MaterialRow>> ReadFjlb(const std::string& path);
// The file entries of a material; nullopt when the file cannot be read or no
// material has this key (the grid then keeps what it shows).
std::optional<std::vector<FileRow>> ReadWjlb(const std::string& fjid, const std::string& path,
                                             const std::string& storageFolder);
// ReadFjlb with the KB column filled, in one reading of the file: each row's kb
// is getFjKb of the row's key (so rows sharing a key show the first one's).
std::optional<std::vector<MaterialRow>> ReadMaterialsWithSizes(const std::string& path,
                                                               const std::string& storageFolder);

// What the materials window shows when it opens, from one reading of the file:
// the material list with sizes (ReadMaterialsWithSizes) and, for the first
// material, its entries (ReadWjlb) and requirements text (ReadTips).
struct OpeningView {
    std::vector<MaterialRow> materials;
    std::optional<std::vector<FileRow>> firstFiles; // nullopt: no material found by its key
    std::string firstTips;
};
std::optional<OpeningView> ReadOpeningView(const std::string& path,
                                           const std::string& storageFolder);

// The old-layout rule of a material list: old unless the sub-item is "变更" or
// some material's name contains "单位情况简表" (an empty list counts as old).
bool IsOldLayout(const std::vector<MaterialRow>& rows, const std::string& subItemName);
// The old-layout rule of the first file entry shown after opening.
bool EntryMarksOldLayout(const std::string& subItemName, const std::string& entryTitle);

// ---- the materials list ----

// Stem of the temporary copy the list is read from (in the system's temporary
// folder, under a unique name; removed afterwards).
inline constexpr const char* kListCopyStem = "TEMPBP";

// The titles of the linked files, in document order, as the materials list
// numbers them: the entries with a non-empty link of every material whose
// `dzjs` is a number above 0 (a material counted 0, or without a count, adds
// nothing even when it holds links). Read from a private temporary copy of
// the file. nullopt after "XML文件不存在-" + path when the file is missing or
// unreadable.
std::optional<std::vector<std::string>> ReadLinkedTitles(const std::string& path);

// ---- changing ----

// Sets the link of the entry numbered xh (compared as text). True when saved.
bool saveWjlbUrl(const std::string& fjid, const std::string& xh, const std::string& url,
                 const std::string& path);
// Sets title, name and description of the entry to the same text.
bool saveWjlbTitle(const std::string& fjid, const std::string& xh, const std::string& title,
                   const std::string& path);
// Counts the entries with a non-empty link, stores the count in `dzjs`, returns it.
std::int16_t readAndsaveFilecount(const std::string& fjid, const std::string& path);
// Appends an entry numbered n to the material's first `fileList`.
bool addWjlb(const std::string& fjid, int n, const std::string& name, const std::string& title,
             const std::string& path);
// Removes the entry numbered xh from the first `fileList` and moves the higher
// numbers down by one. A remaining entry that still carries the generated name
// and title of its old number gets those of its new number; a title the user
// typed is kept.
bool delWjlb(const std::string& fjid, const std::string& xh, const std::string& path);
// Within the life of one CombinedWrite (on this thread), the changes above to
// the file at `path` are written together, once, when it ends, instead of one
// write each: an action that changes an entry and then its material's count
// costs one write. The file holds every change when the action returns; a
// write that fails is reported then ("XML文件无法保存-" + path), and the
// changes are not kept.
class CombinedWrite {
  public:
    explicit CombinedWrite(const std::string& path);
    ~CombinedWrite();
    CombinedWrite(const CombinedWrite&) = delete;
    CombinedWrite& operator=(const CombinedWrite&) = delete;

  private:
    bool active_ = false;
};

// The names, titles and links of every entry of the manifest at `path`, as one
// text: equal texts mean no entry was linked, retitled, added or deleted in
// between. Empty when the file cannot be read. Read from the kept copy.
std::string LinkState(const std::string& path);
// The same of a manifest's bytes (as read from `path`).
std::string LinkStateOfBytes(const std::string& bytes, const std::string& path);
// The bytes of the file at `path` ("" when it cannot be read), to tell later
// whether it changed.
std::string ManifestBytes(const std::string& path);

// Lets go of the parsed copy of the file at `path` that the operations above
// keep between calls (the materials window, when it closes).
void ReleaseKeptManifest(const std::string& path);

// Whether renumbering an entry renames it: its name and title are both still
// the generated ones of its number ("其他新增材料" + number), or both empty;
// a title the user gave it is never replaced.
bool NameFollowsNumber(const std::string& name, const std::string& title,
                       const std::string& number);

} // namespace materials
