#pragma once
// The template database may arrive as an Access/Jet file. At start-up such a
// file is converted once into the SQLite store: the conversion runs elsewhere
// (a child process, see ui/jet_runner.h) into a temporary file beside the
// original, which is then checked, the original kept under a backup name and
// the new file put in its place. A failure at any step leaves the folder as it was.

#include <filesystem>
#include <functional>
#include <string>

namespace accessimport {

enum class JetImportStatus { NotJet, Converted, Failed };

struct JetImportOutcome {
    JetImportStatus status;
    std::filesystem::path backupPath;
    std::string detail;
};

// True when the file carries the Jet ("Standard Jet DB") or ACE ("Standard ACE
// DB") signature at byte 4.
bool IsJetFile(const std::filesystem::path& file);

// Runs the child importer on `in`, writing `out`; false on any failure (detail says why).
using JetImportRunner = std::function<bool(const std::filesystem::path& in,
                                           const std::filesystem::path& out, std::string& detail)>;

// Detects, imports through runner into a temp file in the same folder, keeps the
// original under a backup name, renames. Tells the user through
// platform::CurrentPrompter() ("提示", information icon) on success. Never throws.
JetImportOutcome ConvertJetTemplate(const std::filesystem::path& databasePath,
                                    const JetImportRunner& runner);

// The tables the program reads; a converted file without any of them is refused.
inline constexpr const char* kTemplateTables[] = {"系统参数", "资料模板", "综合词表",
                                                  "项目基本信息"};

// First free backup name beside `databasePath`: "系统模板(Access原件).mdb", then
// "系统模板(Access原件2).mdb", ... An existing backup is never reused.
std::filesystem::path JetBackupPath(const std::filesystem::path& databasePath);

} // namespace accessimport
