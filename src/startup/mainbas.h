#pragma once
// Start-up: the globals every window shares, the one connection to the
// template database and the catalogue of application items.

#include "platform/db.h"
#include "util/template_db.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// One row of 资料模板 as loaded at start-up.
struct ApplicationItem {
    std::int16_t 序号 = 0;
    std::int16_t 子项序号 = 0;
    std::string 子项名称;
    std::string 申请事项名称;
    std::string 申请事项简称;
    std::string 存储路径;
    std::string 文件标识;
    std::int16_t 项目名称标识 = 0;
};

extern std::int16_t PrinterCount;
extern std::unique_ptr<platform::db::Connection> TemplateConnection;
extern std::int16_t CategoryCode;
extern std::string CategoryTitle;
extern std::string CategoryShortName;
extern std::int16_t ItemCount;
extern std::int16_t SubItemCount;
extern std::vector<ApplicationItem> ItemTable;
extern std::int16_t SelectedItem;
extern std::string SubItemName;
extern std::int16_t ReloadPending;
extern std::string WorkManifestPath;
extern std::string StorageFolder;
extern std::string ShownFolder;
extern std::int16_t SizeLimitMb;
extern std::string PickedFolder;
extern std::uint8_t PickerMode;

// The folder where 系统模板.mdb and TempXml.XML lie: the program's own folder,
// or the user's data folder for an installed or read-only program (see
// startup/data_folder.h). Every message naming "the program folder" names this.
const std::filesystem::path& ProgramFolder();
void SetProgramFolder(const std::filesystem::path& folder);

// Name of the template database file in the program folder.
inline constexpr const char* kTemplateDatabaseName = "系统模板.mdb";

// Puts every global back to its state before start-up (tests run Main often).
void ResetGlobals();

struct StartupHooks {
    // Counts the printers; 0 when none. Defaults to the prompter's count.
    std::function<int()> countPrinters;
    // Turns a database file of another format into the program's own before it
    // is opened; false when it cannot (the file is then unreadable).
    std::function<bool(const std::filesystem::path& database)> prepareDatabase;
};

// The start-up checks in order; true when the main window may be shown. Every
// fatal case has been reported to the user through the prompter.
bool Main(const std::filesystem::path& programFolder, const StartupHooks& hooks = {});
bool OpenTemplateDatabase();
// Opens the template database; "" when it is open, else the fatal message
// (unreadable, in use by another program, or a statement cut off).
std::string OpenTemplateDatabaseFor();
// A template database is untrusted: "" when its schema holds no trigger and
// none of the program's tables (系统参数, 资料模板, 项目基本信息, 综合词表) is a
// view or a virtual table; else the sentence the start-up reports and why.
std::string UntrustedSchemaProblem();
bool LoadCatalogue();

// Connection string for the template database at `databasePath`.
std::string TemplateConnectionString(const std::string& databasePath);
