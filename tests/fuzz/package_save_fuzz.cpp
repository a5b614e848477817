// Fuzz entry: any bytes as the working copy of a manifest, saved into a
// package folder that already holds other files (a note, a backup folder,
// names that differ from the package's own only in case, a link out of the
// folder), then saved again into the same folder, and checked.
//
// "$SRC/" in the input stands for the folder of source files, so that inputs
// can link real files. Beside the sanitizers it checks that nothing outside
// the package's own names (APLPKG.XML, 材料清单.txt, the staging folder and
// the material folders the manifest names, compared as the name rule compares
// names) is removed or changed, that nothing outside the package folder
// changes, and that what a save wrote is a readable package.

#include "disc/package_check.h"
#include "fuzz/fuzz_support.h"
#include "materials/manifest.h"
#include "materials/name_rule.h"
#include "materials/package_fixture.h"
#include "materials/save_folder.h"
#include "platform/xmldoc.h"

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;
using namespace materials;

struct Place {
    fs::path root, package, sources, sentinelFolder;
    fuzz::Sentinel sentinel;
    std::map<std::string, std::string> sourceFiles;

    Place() {
        root = fuzz::OwnRoot("package-save");
        package = root / "包";
        sources = root / "源";
        sentinelFolder = root / "哨兵";
        fs::create_directories(sources);
        fuzz::WriteAll(sources / "扫描件.pdf", std::string(1500, 'p'));
        fuzz::WriteAll(sources / "照片.JPG", std::string(700, 'j'));
        fuzz::WriteAll(sources / "无扩展名", std::string(10, 'n'));
        // A source under a folder named like the prefix: a source, never a stored link.
        fs::create_directories(sources / "Local:\\\\");
        fuzz::WriteAll(sources / "Local:\\\\" / "secret.pdf", std::string(20, 's'));
        sourceFiles = fuzz::Listing(sources);
        sentinel.create(sentinelFolder);
    }

    // The package folder as another program left it.
    void prepare() {
        std::error_code ignored;
        fs::create_directories(package);
        fuzz::Empty(package);
        fs::remove(root / "TempXml.XML", ignored);
        fs::create_directories(package / "备份");
        fs::create_directories(package / "营业执照");
        fuzz::WriteAll(package / "说明.txt", std::string("a note of the applicant"));
        fuzz::WriteAll(package / "备份" / "旧.pdf", std::string(300, 'o'));
        fuzz::WriteAll(package / "aplpkg.xml.bak", std::string("<offer/>"));
        fuzz::WriteAll(package / "营业执照" / "营业执照.pdf", std::string(2048, 'a'));
#ifndef _WIN32
        fs::create_directory_symlink(sentinelFolder, package / "链接", ignored);
#endif
    }
};

std::string Expand(const std::string& input, const fs::path& sources) {
    const std::string marker = "$SRC/";
    const std::string folder = platform::PathToUtf8(sources) + "/";
    std::string out;
    std::size_t pos = 0;
    for (std::size_t hit; (hit = input.find(marker, pos)) != std::string::npos;
         pos = hit + marker.size())
        out += input.substr(pos, hit - pos) + folder;
    return out + input.substr(pos);
}

// The package's own names at the top of its folder, as name keys.
std::set<std::string> OwnNames(const fs::path& work) {
    std::set<std::string> own = {NameKey(kStoredCopyName), NameKey(kMaterialsListName),
                                 NameKey(kStagingFolderName)};
    platform::XmlDocument doc;
    if (doc.load(work) && doc.documentElement().name() == "offer")
        for (const platform::XmlNode& material :
             doc.documentElement().selectNodes(".//attachments//attachment"))
            own.insert(NameKey(material.selectSingleNode(".//fjmc").text()));
    return own;
}

// Everything below the folder whose first name is not one of the package's.
std::map<std::string, std::string> Foreign(const fs::path& folder,
                                           const std::set<std::string>& own) {
    std::map<std::string, std::string> foreign;
    for (const auto& [path, content] : fuzz::Listing(folder)) {
        const std::string first = path.substr(0, path.find('/'));
        if (!own.contains(NameKey(first)))
            foreign.emplace(path, content);
    }
    return foreign;
}

void CheckSave(const SaveOutcome& outcome, const Place& place,
               const std::map<std::string, std::string>& foreign, const std::set<std::string>& own,
               const char* when) {
    fuzz::Check(Foreign(place.package, own) == foreign,
                std::string("a file outside the package's names changed ") + when);
    fuzz::Check(fuzz::Listing(place.sources) == place.sourceFiles,
                std::string("a source file changed ") + when);
    place.sentinel.check(when);
    if (!outcome.saved())
        return;
    platform::XmlDocument doc;
    fuzz::Check(doc.load(place.package / kStoredCopyName), "the stored copy does not read again");
    fuzz::Check(!package_test::SaveLeftovers(place.package), "the staging folder stayed");
    const disc::PackageCheck check =
        disc::CheckPackage(platform::PathToUtf8(place.package), nullptr);
    fuzz::Check(check.readable, "the check cannot read what the save wrote");
    // Every file the check lets onto the disc is one of the package's.
    for (const disc::DiscFile& file : check.discFiles) {
        const std::string first = file.discPath.substr(0, file.discPath.find('/'));
        fuzz::Check(own.contains(NameKey(first)), "the disc would carry " + file.discPath);
        fuzz::Check(IsKeptName(file.discPath.substr(file.discPath.rfind('/') + 1)),
                    "the disc would carry a name the rule refuses: " + file.discPath);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Place place;
    fuzz::InstallQuietPrompter();
    place.prepare();
    const fs::path work = place.root / "TempXml.XML";
    fuzz::WriteAll(work,
                   Expand(std::string(reinterpret_cast<const char*>(data), size), place.sources));
    const std::set<std::string> own = OwnNames(work);
    const std::map<std::string, std::string> foreign = Foreign(place.package, own);

    // The first save: links to the sources, into the folder with other files.
    CheckSave(SavePackage(package_test::Request(work, place.package, "")), place, foreign, own,
              "by the first save");
    // Saved again after "打开": the stored copy is the working copy.
    if (fs::is_regular_file(fs::symlink_status(place.package / kStoredCopyName))) {
        std::error_code ignored;
        fs::copy_file(place.package / kStoredCopyName, work, fs::copy_options::overwrite_existing,
                      ignored);
        const std::set<std::string> again = OwnNames(work);
        const std::map<std::string, std::string> before = Foreign(place.package, again);
        CheckSave(SavePackage(package_test::Request(work, place.package,
                                                    platform::PathToUtf8(place.package))),
                  place, before, again, "by the second save");
    }
    return 0;
}
