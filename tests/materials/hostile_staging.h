#pragma once
// A package folder as a crafted disc copied to a writable folder might bring
// it, for the tests and the fuzz target of the repair: a previous package
// (APLPKG.XML storing 甲/A.pdf), the applicant's own file 其他/我的说明.txt
// that no package stored, a material folder 附图 that is a link to a sentinel
// folder beside the package, and a staging folder whose files (journal,
// commit note, backups, copies) the test or the fuzz input supplies.

#include "fuzz/fuzz_support.h"
#include "materials/manifest.h"
#include "materials/package_journal.h"

#include <map>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace package_test {

namespace fs = std::filesystem;

struct StagingFile {
    std::string name;
    std::string content;
};

// A crafted staging folder as text: files that each start with a line
// "@@ NAME" and hold the lines up to the next such line. A line "@@folder
// NAME" names the staging folder (default "~APLPKG.saving"); "@@link" makes
// the staging folder itself a link to the sentinel folder, "@@link NAME" an
// entry of it a link to the sentinel's secret.txt; "@@lock link|fifo|folder"
// puts such an entry where the package's lock file belongs. "$ID" in a file
// stands for the device and inode of the package's APLPKG.XML.
struct CraftedStaging {
    std::string folder = materials::kStagingFolderName;
    bool link = false;
    std::vector<std::string> links;
    std::string lock;
    std::vector<StagingFile> files;
};

inline CraftedStaging ParseCrafted(const std::string& text) {
    CraftedStaging crafted;
    std::size_t at = 0;
    StagingFile* current = nullptr;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        if (line == "@@link")
            crafted.link = true;
        else if (line.starts_with("@@link "))
            crafted.links.push_back(line.substr(7));
        else if (line.starts_with("@@lock "))
            crafted.lock = line.substr(7);
        else if (line.starts_with("@@folder "))
            crafted.folder = line.substr(9);
        else if (line.starts_with("@@ ")) {
            crafted.files.push_back({line.substr(3), {}});
            current = &crafted.files.back();
        } else if (current) {
            current->content += line + (end < text.size() ? "\n" : "");
        }
    }
    return crafted;
}

class HostileFolder {
  public:
    static constexpr const char* kOwnFile = "其他/我的说明.txt";
    static constexpr const char* kOwnText = "申请人自己的说明，从未保存过";

    void prepare(const fs::path& root) {
        root_ = root;
        std::error_code ignored;
        fs::remove_all(root_ / "包", ignored);
        fs::remove_all(root_ / "哨兵", ignored);
        fuzz::Sentinel().create(sentinel());
        fuzz::WriteAll(sentinel() / materials::kJournalName, std::string("not ours"));
        sentinelFiles_ = fuzz::Listing(sentinel());
        fs::create_directories(package() / "甲");
        fs::create_directories(package() / "其他");
        fuzz::WriteAll(package() / materials::kStoredCopyName, Previous());
        fuzz::WriteAll(package() / "甲" / "A.pdf", std::string("stored a"));
        fuzz::WriteAll(package() / platform::PathFromUtf8(kOwnFile), std::string(kOwnText));
#ifndef _WIN32
        fs::create_directory_symlink("../哨兵", package() / "附图");
#endif
    }

    // A stored copy that stores 甲/A.pdf and 附图/B.pdf, never 其他/我的说明.txt.
    static std::string Previous() {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<offer bbh=\"1\" bpbs=\"T\">"
               "<attachments><attachment fjid=\"1\"><fjmc>甲</fjmc><fileList><file>"
               "<fileName>A</fileName><fileUrl>Local:\\\\A.pdf</fileUrl></file></fileList>"
               "</attachment><attachment fjid=\"2\"><fjmc>附图</fjmc><fileList><file>"
               "<fileName>B</fileName><fileUrl>Local:\\\\B.pdf</fileUrl></file></fileList>"
               "</attachment></attachments></offer>\n";
    }

    // A staging folder of this name holding the files; "$ID" in a text
    // becomes the device and inode of the package's APLPKG.XML ("dev\tino"),
    // so that a crafted journal can claim the commit.
    void stage(const std::string& folder, const std::vector<StagingFile>& files) const {
        const fs::path staging = package() / platform::PathFromUtf8(folder);
        std::error_code ignored;
        fs::create_directories(staging, ignored);
        for (const StagingFile& f : files) {
            if (!PlainName(f.name))
                continue;
            std::string text = f.content;
            for (std::size_t at; (at = text.find("$ID")) != std::string::npos;)
                text.replace(at, 3, StoredCopyIdentity());
            fuzz::WriteAll(staging / platform::PathFromUtf8(f.name), text);
        }
    }

    // The crafted staging folder put in place; false for a folder name that is
    // not a staging folder's (nothing then to repair).
    bool stage(const CraftedStaging& crafted) const {
        if (!materials::IsStagingFolderName(crafted.folder) || !PlainName(crafted.folder))
            return false;
        const fs::path staging = package() / platform::PathFromUtf8(crafted.folder);
        std::error_code ignored;
#ifndef _WIN32
        if (crafted.link) {
            fs::create_directory_symlink("../哨兵", staging, ignored);
        } else {
            stage(crafted.folder, crafted.files);
            for (const std::string& name : crafted.links)
                if (PlainName(name))
                    fs::create_symlink("../../哨兵/secret.txt",
                                       staging / platform::PathFromUtf8(name), ignored);
        }
        const fs::path lock = package() / materials::kPackageLockName;
        if (crafted.lock == "link")
            fs::create_symlink("../哨兵/secret.txt", lock, ignored);
        else if (crafted.lock == "fifo")
            ::mkfifo(lock.c_str(), 0600);
        else if (crafted.lock == "folder")
            fs::create_directory(lock, ignored);
#else
        stage(crafted.folder, crafted.files);
#endif
        return true;
    }

    static bool PlainName(const std::string& name) {
        return !name.empty() && name != "." && name != ".." &&
               name.find_first_of(std::string("/\0", 2)) == std::string::npos;
    }

    std::string StoredCopyIdentity() const {
#ifndef _WIN32
        struct stat info {};
        if (::lstat((package() / materials::kStoredCopyName).c_str(), &info) == 0)
            return std::to_string(info.st_dev) + "\t" + std::to_string(info.st_ino);
#endif
        return "0\t0";
    }

    // What changed that must not have: outside the package, or the
    // applicant's own file; "" when nothing did.
    std::string damage(bool ownFile = true) const {
        if (fuzz::Listing(sentinel()) != sentinelFiles_)
            return "the sentinel folder changed";
        std::error_code error;
        for (fs::directory_iterator it(root_, error), end; !error && it != end;
             it.increment(error)) {
            const std::string name = platform::PathToUtf8(it->path().filename());
            if (name != "包" && name != "哨兵")
                return "something was made beside the package: " + name;
        }
        if (ownFile && fuzz::ReadAll(package() / platform::PathFromUtf8(kOwnFile)) != kOwnText)
            return "the applicant's own file changed";
        return {};
    }

    fs::path package() const {
        return root_ / "包";
    }
    fs::path sentinel() const {
        return root_ / "哨兵";
    }

  private:
    fs::path root_;
    std::map<std::string, std::string> sentinelFiles_;
};

} // namespace package_test
