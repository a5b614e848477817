#pragma once
// The check of a saved package folder before it goes onto a disc: the stored
// copy "APLPKG.XML" against the files in the folder and against
// "材料清单.txt", every name against what the disc format (Joliet, as Windows
// reads it) keeps unchanged, and the content of each stored file as far as
// its kind can be told (PDF, image, Word and Excel containers, the same
// content linked twice).
//
// The check only reads. Its findings are errors (the package must not go onto
// a disc as it is) or warnings (it may, but the user should know); it also
// gives what goes onto the disc: the stored copy, the list and every stored
// file, and nothing else of the folder.

#include "disc/disc.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace disc {

enum class FindingLevel { Error, Warning };

struct PackageFinding {
    FindingLevel level = FindingLevel::Error;
    std::string material; // fjmc; "" for the package's own files and strays
    std::string entry;    // fileTitle of the entry; "" when it is no entry's
    std::string file;     // the file's name in its folder (or its path in the package)
    std::string problem;
};

// The checks that need a PDF reader or an image decoder; the window supplies
// them (Qt's image reader, poppler). Without one these checks are left out.
// NoReader: the program's own reader is missing (its module was not found),
// so the file could not be checked; the check says so once.
// The check calls them on worker threads, several at once (inspectImage one
// at a time: a decoded picture can be large).
class ContentInspector {
  public:
    enum class Verdict { Good, Unreadable, Locked, NoReader };
    virtual ~ContentInspector() = default;
    virtual Verdict inspectPdf(const std::filesystem::path& file) = 0;
    virtual Verdict inspectImage(const std::filesystem::path& file) = 0;
};

// Room on a single-layer recordable DVD (DVD-R and DVD+R alike): 2295104
// blocks of 2048 bytes.
inline constexpr std::uint64_t kDvdBytes = std::uint64_t{2295104} * 2048;

// What the window learns while the check runs, and how it stops one. Called
// on the thread that runs the check.
class CheckObserver {
  public:
    enum class Stage {
        Files,   // the stored files, one by one: done and total count files
        Digests, // the contents of files of equal size compared: bytes read
    };
    virtual ~CheckObserver() = default;
    virtual void progress(Stage /*stage*/, std::uint64_t /*done*/, std::uint64_t /*total*/) {}
    // Asked between files and between chunks of a file; true stops the check,
    // whose result then says so (an error: the package is not burnable).
    virtual bool cancelRequested() { return false; }
};

struct PackageCheck {
    bool readable = false;  // the stored copy could be read
    bool cancelled = false; // stopped by the observer before the end
    std::vector<PackageFinding> findings;
    std::vector<disc::DiscFile> discFiles; // what goes onto the disc, in order
    std::uint64_t totalBytes = 0;          // of discFiles

    int count(FindingLevel level) const;
    // Whether the package may go onto a disc: readable and without errors.
    bool burnable() const { return readable && !cancelled && count(FindingLevel::Error) == 0; }
};

// The stored files are checked, and the files of equal size read and hashed
// (SHA-256), on worker threads (one per core); findings and progress come in
// the manifest's order all the same, and the observer is called on the
// calling thread only. At most a few megabytes are held at a time, whatever
// the size of the package.
PackageCheck CheckPackage(const std::string& folder, ContentInspector* inspector,
                          CheckObserver* observer = nullptr);

// Why a name (one file or folder name) would not reach a Windows reader of
// the disc unchanged; "" when it would. The one name rule (NameProblem of
// materials/name_rule.h), which the save applies too.
std::string DiscNameProblem(const std::string& name);

// One line: 【材料】报件（文件）：问题, or 文件：问题 for the package's own files.
std::string FindingLine(const PackageFinding& finding);
// The findings of one level, one line each, but of each problem only the
// first `perKind`, then one line per problem with the number of the rest
// (50,000 stray files make one line, not 50,000).
std::vector<std::string> FindingLines(const PackageCheck& check, FindingLevel level,
                                      std::size_t perKind);
inline constexpr std::size_t kFindingsPerKind = 10;
// Every finding so, errors under "错误：" first, then warnings under "警告：",
// one per line (CR LF); "" when there are none.
std::string FindingsText(const PackageCheck& check);

} // namespace disc
