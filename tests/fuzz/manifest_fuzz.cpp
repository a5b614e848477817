// Fuzz entry: any bytes as the stored copy of a package opened with "打开"
// (or, when it is not accepted, as the working copy an item's template gives),
// then everything the materials window does with it: the listing with sizes,
// the old-layout tests, linking, clearing, adding, deleting and retitling
// entries, the list window's walk, and the save into a new folder and back
// into the package folder itself.
//
// Beside the crash and memory checks of the sanitizers it checks that nothing
// outside the program's and the package's folders changes (a sentinel folder
// beside them, and the set of folders in the fuzz root), and that every stored
// copy a save writes can be read again.

#include "fuzz/fuzz_support.h"
#include "materials/manifest.h"
#include "materials/modfjgl.h"
#include "materials/package_fixture.h"
#include "materials/save_folder.h"
#include "platform/xmldoc.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

namespace fs = std::filesystem;
using namespace materials;

constexpr const char* kFileMark = "DZ-PG TEST 任何";
constexpr std::size_t kMaterialsVisited = 6;

struct Place {
    fs::path root, program, package, store, sources, sentinelFolder;
    fuzz::Sentinel sentinel;
    std::string work, chosen;

    Place() {
        root = fuzz::OwnRoot("manifest");
        program = root / "程序";
        package = root / "包";
        store = root / "存";
        sources = root / "源";
        sentinelFolder = root / "哨兵";
        fs::create_directories(program);
        fs::create_directories(sources);
        sentinel.create(sentinelFolder);
        work = platform::PathToUtf8(program / "TempXml.XML");
        chosen = platform::PathToUtf8(sources / "扫描件.pdf");
        fuzz::WriteAll(sources / "扫描件.pdf", std::string(1500, 'p'));
    }

    // The package folder as the input finds it: the stored copy, files an
    // earlier save stored, and things a hostile disc may hold (links out of the
    // folder, a pipe).
    void preparePackage(const std::uint8_t* data, std::size_t size) {
        std::error_code ignored;
        fs::create_directories(package);
        fuzz::Empty(package);
        fuzz::Empty(program);
        fs::remove_all(store, ignored);
        fs::create_directories(package / "营业执照");
        fs::create_directories(package / "其他材料");
        fuzz::WriteAll(package / "营业执照" / "营业执照.pdf", std::string(2048, 'a'));
        fuzz::WriteAll(package / "其他材料" / "其他新增材料1.doc", std::string(10, 'b'));
        fuzz::WriteAll(package / "APLPKG.XML", data, size);
#ifndef _WIN32
        fs::create_symlink(sentinelFolder / "secret.txt", package / "营业执照" / "外.pdf", ignored);
        fs::create_directory_symlink(sentinelFolder, package / "链接材料", ignored);
        ::mkfifo((package / "营业执照" / "管道.pdf").c_str(), 0600);
#endif
    }

    void checkOutside(const char* when) const {
        sentinel.check(when);
        std::set<std::string> names;
        std::error_code error;
        for (fs::directory_iterator it(root, error), end; !error && it != end; it.increment(error))
            names.insert(platform::PathToUtf8(it->path().filename()));
        const std::set<std::string> expected = {"程序", "包", "存", "源", "哨兵"};
        for (const std::string& name : names)
            fuzz::Check(expected.contains(name), "a new entry beside the folders: " + name);
        const auto program = fuzz::Listing(this->program);
        for (const auto& [name, content] : program)
            fuzz::Check(name == "TempXml.XML", "a stray file in the program folder: " + name);
    }
};

// A folder a save wrote must hold only plain files and folders, and its
// stored copy must read again.
void CheckSaved(const SaveOutcome& outcome, const fs::path& folder, bool fresh) {
    if (!outcome.saved())
        return;
    platform::XmlDocument doc;
    fuzz::Check(doc.load(folder / kStoredCopyName), "the stored copy does not read again");
    fuzz::Check(!package_test::SaveLeftovers(folder), "the staging folder stayed");
    if (!fresh)
        return;
    for (const auto& [name, content] : fuzz::Listing(folder))
        fuzz::Check(content != "<link>" && content != "<other>", "a save made " + name);
}

void EntryActions(const std::string& key, const Place& place, const std::string& storage) {
    ReadTips(key, place.work);
    getFjKb(key, place.work, storage);
    const auto files = ReadWjlb(key, place.work, storage);
    if (!files)
        return;
    for (std::size_t i = 0; i < files->size() && i < 3; ++i)
        EntryMarksOldLayout("变更", (*files)[i].title);
    const std::string first = files->empty() ? "1" : NumberText(files->front().number);
    const std::string title = files->empty() ? "" : files->front().title;
    saveWjlbUrl(key, first, place.chosen, place.work);
    readAndsaveFilecount(key, place.work);
    saveWjlbTitle(key, first, ToStandardName(title + " 改/后"), place.work);
    const int n = static_cast<int>(files->size()) + 1;
    addWjlb(key, n, kGeneratedEntryName + std::to_string(n), "新增", place.work);
    delWjlb(key, first, place.work);
    if (files->size() > 1)
        delWjlb(key, NumberText(files->back().number), place.work);
    saveWjlbUrl(key, "1", "", place.work);
    readAndsaveFilecount(key, place.work);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Place place;
    fuzz::InstallQuietPrompter().chosenFile = place.chosen;
    place.preparePackage(data, size);

    // Opening: the stored copy when it is accepted, else the bytes as a template.
    std::string storage;
    if (TakeStoredCopy(platform::PathToUtf8(place.package), kFileMark, place.work))
        storage = platform::PathToUtf8(place.package);
    else
        fuzz::WriteAll(place.program / "TempXml.XML", data, size);

    if (const auto view = ReadOpeningView(place.work, storage)) {
        IsOldLayout(view->materials, "");
        IsOldLayout(view->materials, "变更");
        std::vector<std::string> kb;
        for (const MaterialRow& row : view->materials)
            kb.push_back(row.kb);
        getTotalMb(kb);
    }
    ReadPackageMark(place.work);
    ReadLinkedTitles(place.work);

    // The window's save of what was opened, into a new folder.
    CheckSaved(
        SavePackage(package_test::Request(place.program / "TempXml.XML", place.store, storage)),
        place.store, true);
    place.checkOutside("after the first save");

    // Every entry action on the first few materials.
    std::vector<std::string> keys;
    if (const auto rows = ReadFjlb(place.work))
        for (const MaterialRow& row : *rows)
            if (keys.size() < kMaterialsVisited &&
                std::find(keys.begin(), keys.end(), row.key) == keys.end())
                keys.push_back(row.key);
    for (const std::string& key : keys)
        EntryActions(key, place, storage);
    ReadLinkedTitles(place.work);

    // Saved again into the package folder itself (the save after "打开").
    CheckSaved(
        SavePackage(package_test::Request(place.program / "TempXml.XML", place.package, storage)),
        place.package, false);
    place.checkOutside("after the save into the package folder");
    return 0;
}
