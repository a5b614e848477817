#pragma once
// Shared by the fuzz entry points (run by libFuzzer, or by the replay program
// over the corpora): a folder of their own, a prompter that answers as a user
// clicking OK would, and a sentinel folder whose content must never change.

#include "platform/prompter.h"
#include "platform/utf8.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <system_error>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace fuzz {

namespace fs = std::filesystem;

// A property of the program that an input broke: stops the run like a crash,
// so libFuzzer keeps the input and the replay fails.
[[noreturn]] inline void Broken(const std::string& what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

inline void Check(bool ok, const std::string& what) {
    if (!ok)
        Broken(what);
}

// Answers every question with its first button and cancels every dialog,
// except the file-open dialog, which chooses `chosenFile`.
class QuietPrompter final : public platform::Prompter {
  public:
    std::string chosenFile;
    int messages = 0;

    platform::MsgAnswer message(const std::string&, const std::string&, platform::MsgIcon,
                                platform::MsgButtons buttons) override {
        ++messages;
        return buttons == platform::MsgButtons::Ok || buttons == platform::MsgButtons::OkCancel
                   ? platform::MsgAnswer::Ok
                   : platform::MsgAnswer::Yes;
    }
    std::optional<std::string> openFile(const platform::FileDialogRequest&) override {
        return chosenFile.empty() ? std::nullopt : std::optional(chosenFile);
    }
    std::optional<std::string> saveFile(const platform::FileDialogRequest&) override {
        return std::nullopt;
    }
    std::optional<std::string> pickFolder(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    int printerCount() override { return 0; }
};

inline QuietPrompter& InstallQuietPrompter() {
    static std::shared_ptr<QuietPrompter> prompter = [] {
        auto p = std::make_shared<QuietPrompter>();
        platform::SetPrompter(p);
        return p;
    }();
    return *prompter;
}

inline std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteAll(const fs::path& path, const void* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

inline void WriteAll(const fs::path& path, const std::string& text) {
    WriteAll(path, text.data(), text.size());
}

// A folder of this process for one target: QUILLOR_FUZZ_DIR (the fuzz script
// points it at a memory file system), else the system's temporary folder.
inline fs::path OwnRoot(const std::string& target) {
    const char* base = std::getenv("QUILLOR_FUZZ_DIR");
    fs::path root = base && *base ? fs::path(base) : fs::temp_directory_path();
#ifndef _WIN32
    const long id = static_cast<long>(::getpid());
#else
    const long id = 0;
#endif
    root /= "quillor-fuzz-" + target + "-" + std::to_string(id);
    std::error_code ignored;
    fs::remove_all(root, ignored);
    fs::create_directories(root);
    return root;
}

// Empties a folder, whatever it holds (links are removed, never followed).
inline void Empty(const fs::path& folder) {
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        fs::permissions(it->path(), fs::perms::owner_all,
                        fs::perm_options::add | fs::perm_options::nofollow, ignored);
        fs::remove_all(it->path(), ignored);
    }
}

// Every entry below a folder (not following links): relative path → content,
// "<folder>", "<link>" or "<other>".
inline std::map<std::string, std::string> Listing(const fs::path& folder) {
    std::map<std::string, std::string> entries;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string relative = platform::PathToUtf8(it->path().lexically_relative(folder));
        const fs::file_status status = it->symlink_status(error);
        if (fs::is_symlink(status))
            entries[relative] = "<link>";
        else if (fs::is_directory(status))
            entries[relative] = "<folder>";
        else if (fs::is_regular_file(status))
            entries[relative] = ReadAll(it->path());
        else
            entries[relative] = "<other>";
    }
    return entries;
}

// A folder beside the package with files the program must never read into a
// package, write or delete.
class Sentinel {
  public:
    void create(const fs::path& folder) {
        folder_ = folder;
        fs::create_directories(folder_ / "内层");
        WriteAll(folder_ / "secret.txt", std::string("sentinel: never copied\n"));
        WriteAll(folder_ / "内层" / "deep.pdf", std::string(3000, 's'));
        WriteAll(folder_ / "APLPKG.XML", std::string("<offer a='1' b='x'/>"));
        expected_ = Listing(folder_);
    }
    void check(const char* when) const {
        Check(Listing(folder_) == expected_, std::string("the sentinel folder changed ") + when);
    }
    const fs::path& folder() const { return folder_; }

  private:
    fs::path folder_;
    std::map<std::string, std::string> expected_;
};

} // namespace fuzz
