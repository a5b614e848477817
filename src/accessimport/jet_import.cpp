#include "accessimport/jet_import.h"

#include "platform/file_copy.h"
#include "platform/prompter.h"

#include <sqlite3.h>

#include <array>
#include <cstring>
#include <fstream>
#include <memory>
#include <system_error>

namespace accessimport {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kSignatureOffset = 4;
constexpr std::array<const char*, 2> kSignatures = {"Standard Jet DB", "Standard ACE DB"};
constexpr std::size_t kSignatureLength = 15;

struct DbCloser {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};

std::string Utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

fs::path WithSuffix(const fs::path& path, const std::string& suffix) {
    fs::path result = path;
    result += suffix;
    return result;
}

fs::path TemporaryPath(const fs::path& databasePath) {
    return WithSuffix(databasePath, ".import.tmp");
}

void RemoveTemporary(const fs::path& temp) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    fs::remove(WithSuffix(temp, "-journal"), ignored);
}

bool QueryOk(sqlite3* db, const std::string& sql, const std::string& expectedFirstValue) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
        return false;
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> stmt(raw, sqlite3_finalize);
    if (sqlite3_step(raw) != SQLITE_ROW)
        return false;
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
    return text && expectedFirstValue == text;
}

// The converted file must be an intact SQLite database holding the template tables.
bool CheckConverted(const fs::path& file, std::string& detail) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(Utf8(file).c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    std::unique_ptr<sqlite3, DbCloser> db(raw);
    if (rc != SQLITE_OK || !QueryOk(raw, "PRAGMA quick_check", "ok")) {
        detail = "转换结果不是完好的 SQLite 数据库";
        return false;
    }
    for (const char* table : kTemplateTables) {
        const std::string sql = "SELECT name FROM sqlite_master WHERE type='table' AND name='" +
                                std::string(table) + "'";
        if (!QueryOk(raw, sql, table)) {
            detail = std::string("模板数据库中缺少表 ") + table;
            return false;
        }
    }
    return true;
}

bool RunImport(const fs::path& databasePath, const fs::path& temp, const JetImportRunner& runner,
               std::string& detail) {
    if (!runner) {
        detail = "没有可用的导入程序";
        return false;
    }
    bool imported = false;
    try {
        imported = runner(databasePath, temp, detail);
    } catch (const std::exception& e) {
        detail = e.what();
    } catch (...) {
    }
    if (!imported) {
        if (detail.empty())
            detail = "导入程序失败";
        return false;
    }
    return CheckConverted(temp, detail);
}

// Keeps the original under `backup` and puts `temp` in its place; on failure
// puts everything back as far as the file system allows.
bool Replace(const fs::path& databasePath, const fs::path& temp, const fs::path& backup,
             std::string& detail) {
    std::error_code ec;
    // The converted database is on the disk before it takes the name.
    if (!platform::SyncFile(temp)) {
        detail = "无法把转换后的数据库写入磁盘";
        return false;
    }
    fs::rename(databasePath, backup, ec);
    if (ec) {
        detail = "无法保留 Access 原件: " + ec.message();
        return false;
    }
    fs::rename(temp, databasePath, ec);
    if (ec) {
        detail = "无法启用转换后的数据库: " + ec.message();
        std::error_code ignored;
        fs::rename(backup, databasePath, ignored);
        return false;
    }
    platform::SyncFolder(databasePath.parent_path());
    return true;
}

JetImportOutcome Convert(const fs::path& databasePath, const JetImportRunner& runner) {
    JetImportOutcome outcome{JetImportStatus::Failed, {}, {}};
    const fs::path temp = TemporaryPath(databasePath);
    RemoveTemporary(temp); // left over from an interrupted earlier start
    if (!RunImport(databasePath, temp, runner, outcome.detail)) {
        RemoveTemporary(temp);
        return outcome;
    }
    const fs::path backup = JetBackupPath(databasePath);
    if (backup.empty()) {
        outcome.detail = "找不到可用的备份文件名";
        RemoveTemporary(temp);
        return outcome;
    }
    if (!Replace(databasePath, temp, backup, outcome.detail)) {
        RemoveTemporary(temp);
        return outcome;
    }
    outcome.status = JetImportStatus::Converted;
    outcome.backupPath = backup;
    return outcome;
}

void TellUser(const fs::path& backup) noexcept {
    try {
        platform::Notify(
            "系统模板数据库是 Access 格式，已转换为本程序使用的格式。\nAccess 原件已保存为：\n" +
                Utf8(backup),
            "提示", platform::MsgIcon::Information);
    } catch (...) {
        // The conversion itself has succeeded; a failing notice changes nothing.
    }
}

} // namespace

bool IsJetFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::array<char, kSignatureOffset + kSignatureLength> header{};
    if (!in.read(header.data(), header.size()))
        return false;
    for (const char* signature : kSignatures) {
        if (std::memcmp(header.data() + kSignatureOffset, signature, kSignatureLength) == 0)
            return true;
    }
    return false;
}

fs::path JetBackupPath(const fs::path& databasePath) {
    constexpr int kMaxBackups = 1000;
    const fs::path folder = databasePath.parent_path();
    const std::string stem = Utf8(databasePath.stem());
    const std::string extension = Utf8(databasePath.extension());
    for (int n = 1; n <= kMaxBackups; ++n) {
        const std::string number = n == 1 ? "" : std::to_string(n);
        const std::string name = stem + "(Access原件" + number + ")" + extension;
        const fs::path candidate = folder / fs::path(std::u8string(name.begin(), name.end()));
        std::error_code ec;
        if (fs::symlink_status(candidate, ec).type() == fs::file_type::not_found)
            return candidate;
    }
    return {};
}

JetImportOutcome ConvertJetTemplate(const fs::path& databasePath, const JetImportRunner& runner) {
    try {
        if (!IsJetFile(databasePath))
            return {JetImportStatus::NotJet, {}, {}};
        JetImportOutcome outcome = Convert(databasePath, runner);
        if (outcome.status == JetImportStatus::Converted)
            TellUser(outcome.backupPath);
        return outcome;
    } catch (const std::exception& e) {
        return {JetImportStatus::Failed, {}, e.what()};
    } catch (...) {
        return {JetImportStatus::Failed, {}, "未知错误"};
    }
}

} // namespace accessimport
