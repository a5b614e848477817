// quillor-import-mdb: converts an Access/Jet template database into SQLite.
//   quillor-import-mdb [--memory-limit-mb=N] IN.mdb OUT.sqlite
// Writes OUT only (which must not exist yet); prints a summary and exits 0, or
// prints the reason and exits non-zero.

#include "accessimport/jet/import_mdb.h"
#include "accessimport/jet/mdb_source.h"
#include "platform/child_process.h"

#include <charconv>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t kDefaultMemoryLimitMb = 1024;
constexpr std::string_view kMemoryOption = "--memory-limit-mb=";

int Usage() {
    std::fputs("用法: quillor-import-mdb [--memory-limit-mb=N] 输入.mdb 输出文件\n", stderr);
    return 2;
}

bool ParseMegabytes(std::string_view text, std::size_t& megabytes) {
    if (text.empty() || text.size() > 7)
        return false;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, megabytes);
    return error == std::errc() && stop == end && megabytes > 0;
}

int RunImport(const std::vector<std::filesystem::path>& args,
              const std::vector<std::string>& text) {
    std::size_t memoryLimitMb = kDefaultMemoryLimitMb;
    std::size_t first = 0;
    if (!text.empty() && std::string_view(text[0]).starts_with(kMemoryOption)) {
        if (!ParseMegabytes(std::string_view(text[0]).substr(kMemoryOption.size()), memoryLimitMb))
            return Usage();
        first = 1;
    }
    if (args.size() - first != 2)
        return Usage();
    if (!platform::ApplyMemoryLimit(memoryLimitMb)) {
        std::fputs("错误: 无法设置内存上限\n", stderr);
        return 1;
    }
    // A stray output charset would turn every Chinese name and text into "??".
    platform::ClearProcessEnvironment("MDBICONV");
    platform::ClearProcessEnvironment("MDB_JET3_CHARSET");
    try {
        const accessimport::jet::ImportSummary summary =
            accessimport::jet::ImportMdb(args[first], args[first + 1]);
        std::fputs(accessimport::jet::FormatSummary(summary).c_str(), stdout);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "错误: %s\n", e.what());
    } catch (...) {
        std::fputs("错误: 未知错误\n", stderr);
    }
    return 1;
}

} // namespace

#ifdef _WIN32
// The arguments as the system has them (UTF-16): a path in the code page of the
// machine would lose every character outside it.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::filesystem::path> args;
    std::vector<std::string> text;
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(std::wstring(argv[i]));
        const std::u8string utf8 = args.back().u8string();
        text.emplace_back(utf8.begin(), utf8.end());
    }
    return RunImport(args, text);
}
#else
int main(int argc, char** argv) {
    std::vector<std::filesystem::path> args;
    std::vector<std::string> text;
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i]);
        text.emplace_back(argv[i]);
    }
    return RunImport(args, text);
}
#endif
