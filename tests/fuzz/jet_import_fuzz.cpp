// Fuzz entry: any bytes as an Access template database, converted at start-up
// by the importer child process (quillor-import-mdb) with the limits the
// program grants it. Whatever the child does with the file (fails, loops,
// allocates, crashes), the parent must get its answer within the time limit
// and leave the program folder in one of two states: as it was (the
// conversion failed), or holding a SQLite database with the template tables
// in place of the original, which is kept byte for byte under its backup name.
//
// The bytes get the Jet signature at offset 4 (unless they carry the ACE one),
// so every input reaches the child. A sanitizer report of the child (fuzz
// builds instrument it too) is counted and printed; with
// QUILLOR_FUZZ_CHILD_FATAL set it stops the run like a crash of the parent.

#include "accessimport/jet_import.h"
#include "accessimport/ui/jet_runner.h"
#include "fuzz/fuzz_support.h"

#include <QCoreApplication>

#include <sqlite3.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr std::chrono::milliseconds kTimeLimit{4000};
// Killing and reaping a child over its time takes at most this much more.
constexpr std::chrono::milliseconds kReapAllowance{6000};
constexpr std::size_t kMemoryLimitMb = 512;

fs::path ImporterPath() {
    if (const char* given = std::getenv("QUILLOR_IMPORT_MDB"); given && *given)
        return fs::path(given);
#ifdef QUILLOR_IMPORT_MDB_PATH
    return fs::path(QUILLOR_IMPORT_MDB_PATH);
#else
    return accessimport::ui::ChildImporterPath();
#endif
}

bool HoldsTemplateTables(const fs::path& file) {
    sqlite3* raw = nullptr;
    const std::string path = platform::PathToUtf8(file);
    const int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close);
    if (rc != SQLITE_OK)
        return false;
    for (const char* table : accessimport::kTemplateTables) {
        const std::string sql = "select count(*) from sqlite_master where type='table' and name='" +
                                std::string(table) + "'";
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(raw, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
            return false;
        const bool found = sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_int(stmt, 0) == 1;
        sqlite3_finalize(stmt);
        if (!found)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static int qtArgc = 1;
    static char* qtArgv[] = {(*argv)[0], nullptr};
    (void)argc;
    static QCoreApplication app(qtArgc, qtArgv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fs::path root = fuzz::OwnRoot("jet");
    static const fs::path program = root / "程序";
    static const accessimport::JetImportRunner runner =
        accessimport::ui::MakeChildImportRunner(ImporterPath(), {kTimeLimit, kMemoryLimitMb});
    static int childReports = 0;
    fuzz::InstallQuietPrompter();

    std::string bytes(reinterpret_cast<const char*>(data), size);
    constexpr std::size_t kOffset = 4;
    const char* jet = "Standard Jet DB";
    const char* ace = "Standard ACE DB";
    if (bytes.size() >= kOffset + 15 && bytes.compare(kOffset, 15, ace) != 0)
        bytes.replace(kOffset, 15, jet);
    fs::create_directories(program);
    fuzz::Empty(program);
    const fs::path database = program / "系统模板.mdb";
    fuzz::WriteAll(database, bytes);

    const auto start = std::chrono::steady_clock::now();
    const accessimport::JetImportOutcome outcome =
        accessimport::ConvertJetTemplate(database, runner);
    const auto took = std::chrono::steady_clock::now() - start;
    fuzz::Check(took < kTimeLimit + kReapAllowance, "the conversion outlived its time limit");

    if (std::getenv("QUILLOR_FUZZ_VERBOSE"))
        std::fprintf(stderr, "  status %d after %lld ms: %s\n", static_cast<int>(outcome.status),
                     static_cast<long long>(
                         std::chrono::duration_cast<std::chrono::milliseconds>(took).count()),
                     outcome.detail.c_str());
    if (outcome.detail.find("Sanitizer") != std::string::npos) {
        ++childReports;
        std::fprintf(stderr, "child sanitizer report %d:\n%s\n", childReports,
                     outcome.detail.c_str());
        if (std::getenv("QUILLOR_FUZZ_CHILD_FATAL"))
            fuzz::Broken("the importer child reported a sanitizer error");
    }

    const auto listing = fuzz::Listing(program);
    if (outcome.status == accessimport::JetImportStatus::Converted) {
        const fs::path backup = program / "系统模板(Access原件).mdb";
        fuzz::Check(outcome.backupPath == backup, "the backup is not where it belongs");
        fuzz::Check(listing.size() == 2 && listing.contains("系统模板(Access原件).mdb") &&
                        listing.at("系统模板(Access原件).mdb") == bytes,
                    "the original is not kept byte for byte");
        fuzz::Check(HoldsTemplateTables(database), "the converted database lacks its tables");
    } else {
        fuzz::Check(outcome.status == accessimport::JetImportStatus::Failed ||
                        bytes.size() < kOffset + 15,
                    "a file with the signature was not taken for Jet");
        fuzz::Check(outcome.status != accessimport::JetImportStatus::Failed ||
                        !outcome.detail.empty(),
                    "a failed conversion without a reason");
        fuzz::Check(listing.size() == 1 && listing.begin()->second == bytes,
                    "a failed conversion changed the program folder");
    }
    return 0;
}
