#include "startup/mainbas.h"

#include "platform/prompter.h"
#include "util/convert.h"
#include "util/frmutil.h"
#include "util/utf8.h"

#include <algorithm>
#include <exception>

std::int16_t PrinterCount = 0;
std::unique_ptr<platform::db::Connection> TemplateConnection;
std::int16_t CategoryCode = 0;
std::string CategoryTitle;
std::string CategoryShortName;
std::int16_t ItemCount = 0;
std::int16_t SubItemCount = 0;
std::vector<ApplicationItem> ItemTable;
std::int16_t SelectedItem = 0;
std::string SubItemName;
std::int16_t ReloadPending = 0;
std::string WorkManifestPath;
std::string StorageFolder;
std::string ShownFolder;
std::int16_t SizeLimitMb = 0;
std::string PickedFolder;
std::uint8_t PickerMode = 0;

namespace {

std::filesystem::path& ProgramFolderStorage() {
    static std::filesystem::path folder;
    return folder;
}

const char* const kFatalTitle = "严重错误";
const char* const kMissing = "缺少系统必须的参数文件,无法运行...";
const char* const kUnreadable = "无法读取系统参数文件,无法运行...";
const char* const kBadParameters = "系统参数文件错误,无法运行...";

void Fatal(const std::string& text) {
    platform::Notify(text, kFatalTitle, platform::MsgIcon::Critical);
}

std::string DatabasePathText() {
    return util::PathToUtf8(ProgramFolder() / util::PathFromUtf8(kTemplateDatabaseName));
}

std::int16_t ColumnInt16(double number, const char* column) {
    try {
        return util::RoundToInt16(number);
    } catch (const util::ConversionError& error) {
        throw util::ConversionError(std::string("column ") + column + ": " + error.what());
    }
}

// 类别 and 序号: the value itself as a number; null or text is a failure.
std::int16_t DirectInt16(platform::db::Recordset& rs, const char* column) {
    const auto number = rs.Fields(column).GetValue().toNumber();
    if (!number)
        throw util::ConversionError(std::string("column ") + column + " is not a number");
    return ColumnInt16(*number, column);
}

// 数量, 子项, 子项序号, 项目名称标识: the leading number of the field's text.
std::int16_t LeadingInt16(platform::db::Recordset& rs, const char* column) {
    return ColumnInt16(util::LeadingNumber(util::FieldText(rs.Fields(column))), column);
}

std::string RequiredText(platform::db::Recordset& rs, const char* column) {
    const platform::db::Value& value = rs.Fields(column).GetValue();
    if (value.isNull())
        throw util::ConversionError(std::string("column ") + column + " is empty (null)");
    return value.toText();
}

ApplicationItem ReadItem(platform::db::Recordset& rs) {
    ApplicationItem item;
    item.序号 = DirectInt16(rs, "序号");
    item.子项序号 = LeadingInt16(rs, "子项序号");
    item.子项名称 = util::FieldText(rs.Fields("子项名称"));
    item.申请事项名称 = RequiredText(rs, "申请事项名称");
    item.申请事项简称 = RequiredText(rs, "申请事项简称");
    item.存储路径 = util::FieldText(rs.Fields("存储路径"));
    item.文件标识 = util::FieldText(rs.Fields("文件标识"));
    item.项目名称标识 = LeadingInt16(rs, "项目名称标识");
    return item;
}

bool DatabaseReady(const StartupHooks& hooks) {
    if (!hooks.prepareDatabase)
        return true;
    try {
        return hooks.prepareDatabase(util::PathFromUtf8(DatabasePathText()));
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

const std::filesystem::path& ProgramFolder() {
    return ProgramFolderStorage();
}
void SetProgramFolder(const std::filesystem::path& folder) {
    ProgramFolderStorage() = folder;
}

void ResetGlobals() {
    PrinterCount = 0;
    TemplateConnection.reset();
    CategoryCode = 0;
    CategoryTitle.clear();
    CategoryShortName.clear();
    ItemCount = 0;
    SubItemCount = 0;
    ItemTable.clear();
    SelectedItem = 0;
    SubItemName.clear();
    ReloadPending = 0;
    WorkManifestPath.clear();
    StorageFolder.clear();
    ShownFolder.clear();
    SizeLimitMb = 0;
    PickedFolder.clear();
    PickerMode = 0;
}

std::string TemplateConnectionString(const std::string& databasePath) {
    std::string folder = util::GetFolderPart(databasePath);
    const char last = folder.empty() ? '\0' : folder.back();
    if ((last == '\\' || last == '/') && folder.size() > 1)
        folder.pop_back();
    if (!folder.empty() && folder.back() == ':')
        folder += '\\';
    return "Driver={Microsoft Access Driver (*.mdb)};Dbq=" + util::GetFilePart(databasePath) +
           ";DefaultDir=" + folder + ";Uid=Admin;Pwd=;";
}

bool OpenTemplateDatabase() {
    TemplateConnection = std::make_unique<platform::db::Connection>();
    try {
        TemplateConnection->ConnectionString = TemplateConnectionString(DatabasePathText());
        TemplateConnection->Open("", "");
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool LoadCatalogue() {
    if (!TemplateConnection)
        throw platform::db::DbError("template database is not open");
    platform::db::Recordset parameters;
    parameters.Open("select * from 系统参数 WHERE 有效=1 ORDER BY 类别", *TemplateConnection);
    if (parameters.Eof())
        return true;
    CategoryCode = DirectInt16(parameters, "类别");
    CategoryTitle = util::FieldText(parameters.Fields("标题名称"));
    CategoryShortName = util::FieldText(parameters.Fields("简称"));
    ItemCount = LeadingInt16(parameters, "数量");
    SubItemCount = LeadingInt16(parameters, "子项");
    if (ItemCount == 0)
        return false;
    const long size = static_cast<long>(ItemCount) * SubItemCount;
    if (size < 1)
        return false;
    // Entries are added row by row: a damaged 数量 or 子项 can ask for up to a
    // billion entries, which only the row count check may refuse.
    ItemTable.clear();
    platform::db::Recordset items;
    items.Open("select * from 资料模板 where 类别=" + std::to_string(CategoryCode) +
                   " ORDER BY 序号",
               *TemplateConnection);
    for (; !items.Eof(); items.MoveNext()) {
        if (static_cast<long>(ItemTable.size()) >= size)
            return false;
        ItemTable.push_back(ReadItem(items));
    }
    return static_cast<long>(ItemTable.size()) == size;
}

std::string SelectedItemQuery() {
    return "select * from 资料模板 where 类别=" + std::to_string(CategoryCode) +
           " and 序号=" + std::to_string(ItemTable.at(static_cast<std::size_t>(SelectedItem)).序号);
}

bool Main(const std::filesystem::path& programFolder, const StartupHooks& hooks) {
    ResetGlobals();
    SetProgramFolder(programFolder);
    platform::Prompter& prompter = platform::CurrentPrompter();

    const int printers = hooks.countPrinters ? hooks.countPrinters() : prompter.printerCount();
    PrinterCount = static_cast<std::int16_t>(std::clamp(printers, 0, 32767));

    if (!util::FileExists(DatabasePathText())) {
        Fatal(kMissing);
        return false;
    }
    if (!DatabaseReady(hooks) || !OpenTemplateDatabase()) {
        Fatal(kUnreadable);
        return false;
    }
    try {
        if (!LoadCatalogue()) {
            Fatal(kUnreadable);
            return false;
        }
    } catch (const std::exception& error) {
        Fatal(std::string("读取系统参数文件时出错，无法运行。\n") + error.what());
        return false;
    }
    if (ItemCount < 1) {
        Fatal(kBadParameters);
        return false;
    }
    return true;
}
