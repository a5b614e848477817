#include "startup/mainbas.h"

#include "platform/prompter.h"
#include "platform/utf8.h"
#include "util/convert.h"
#include "util/frmutil.h"

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

// The utilities reach the template database and the selected item through
// util/template_db.h: handed over as soon as the globals exist.
[[maybe_unused]] const bool kCatalogueHandedOver = [] {
    util::SetTemplateCatalogue(
        {[]() -> platform::db::Connection* { return TemplateConnection.get(); },
         [] { return CategoryCode; },
         [] { return ItemTable.at(static_cast<std::size_t>(SelectedItem)).序号; }});
    return true;
}();

std::filesystem::path& ProgramFolderStorage() {
    static std::filesystem::path folder;
    return folder;
}

const char* const kFatalTitle = "严重错误";
const char* const kMissing = "缺少系统必须的参数文件,无法运行...";
const char* const kUnreadable = "无法读取系统参数文件,无法运行...";
const char* const kBadParameters = "系统参数文件错误,无法运行...";
const char* const kReadError = "读取系统参数文件时出错，无法运行。\n";

// The tables the program reads its settings from: each must be a plain table.
constexpr const char* kProgramTables[] = {"系统参数", "资料模板", "项目基本信息", "综合词表"};

std::string BusyText() {
    return std::string("模板数据库“") + kTemplateDatabaseName +
           "”正被其他程序使用，无法读取。请关闭使用它的程序后重新启动本程序。";
}

std::string InterruptedText() {
    return std::string(kUnreadable) + "\n模板数据库中的查询在" +
           std::to_string(platform::db::StatementTimeLimit().count() / 1000.0).substr(0, 3) +
           "秒内没有完成，数据库已损坏或被改动过。";
}

void Fatal(const std::string& text) {
    platform::Notify(text, kFatalTitle, platform::MsgIcon::Critical);
}

std::string DatabasePathText() {
    return platform::PathToUtf8(ProgramFolder() / platform::PathFromUtf8(kTemplateDatabaseName));
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
        return hooks.prepareDatabase(platform::PathFromUtf8(DatabasePathText()));
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
    return OpenTemplateDatabaseFor().empty();
}

std::string OpenTemplateDatabaseFor() {
    TemplateConnection = std::make_unique<platform::db::Connection>();
    try {
        TemplateConnection->ConnectionString = TemplateConnectionString(DatabasePathText());
        TemplateConnection->Open("", "");
        return {};
    } catch (const platform::db::DbBusy&) {
        return BusyText();
    } catch (const platform::db::DbInterrupted&) {
        return InterruptedText();
    } catch (const std::exception&) {
        return kUnreadable;
    }
}

std::string UntrustedSchemaProblem() {
    if (!TemplateConnection)
        throw platform::db::DbError("template database is not open");
    platform::db::Recordset schema;
    schema.Open("select type, name, tbl_name, sql, rootpage from sqlite_master where type in "
                "('trigger','view','table')",
                *TemplateConnection, platform::db::CursorType::ForwardOnly,
                platform::db::LockType::ReadOnly);
    const auto isProgramTable = [](const std::string& name) {
        for (const char* table : kProgramTables)
            if (platform::EqualsIgnoreAsciiCase(name, table))
                return true;
        return false;
    };
    for (; !schema.Eof(); schema.MoveNext()) {
        const std::string type = schema.Fields(0).GetValue().toText();
        const std::string name = schema.Fields(1).GetValue().toText();
        const std::string table = schema.Fields(2).GetValue().toText();
        std::string sql = schema.Fields(3).GetValue().toText();
        if (type == "trigger")
            return "模板数据库中含有触发器“" + name + "”（建在“" + table +
                   "”上）。触发器会在程序写入数据库时执行其中的命令，可能改写或删除您填写的"
                   "内容，程序不使用含有触发器的模板数据库，无法运行...";
        if (!isProgramTable(name))
            continue;
        if (type == "view")
            return "模板数据库中的“" + name +
                   "”是视图，不是数据表。视图中的查询由模板数据库的提供者写成，程序只从数据表"
                   "读取设置，不使用这样的模板数据库，无法运行...";
        sql.erase(0, std::min(sql.find_first_not_of(" \t\r\n"), sql.size()));
        std::string words;
        for (char c : sql.substr(0, 40))
            if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
                words += c;
        // A virtual table has no pages of its own (rootpage 0).
        const auto rootPage = schema.Fields(4).GetValue().toNumber();
        if (platform::AsciiUpper(words).starts_with("CREATEVIRTUALTABLE") || !rootPage ||
            *rootPage == 0)
            return "模板数据库中的“" + name +
                   "”是虚拟表，不是数据表。虚拟表的内容由数据库扩展模块给出，程序只从数据表"
                   "读取设置，不使用这样的模板数据库，无法运行...";
    }
    return {};
}

bool LoadCatalogue() {
    if (!TemplateConnection)
        throw platform::db::DbError("template database is not open");
    platform::db::Recordset parameters;
    // Only the columns kept: a template database is untrusted, and any other
    // column may hold anything of any size.
    parameters.Open("select 类别, 标题名称, 简称, 数量, 子项 from 系统参数 WHERE 有效=1 "
                    "ORDER BY 类别",
                    *TemplateConnection, platform::db::CursorType::ForwardOnly,
                    platform::db::LockType::ReadOnly);
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
    items.Open("select 序号, 子项序号, 子项名称, 申请事项名称, 申请事项简称, 存储路径, 文件标识, "
               "项目名称标识 from 资料模板 where 类别=" +
                   std::to_string(CategoryCode) + " ORDER BY 序号",
               *TemplateConnection, platform::db::CursorType::ForwardOnly,
               platform::db::LockType::ReadOnly);
    for (; !items.Eof(); items.MoveNext()) {
        if (static_cast<long>(ItemTable.size()) >= size)
            return false;
        ItemTable.push_back(ReadItem(items));
    }
    return static_cast<long>(ItemTable.size()) == size;
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
    if (!DatabaseReady(hooks)) {
        Fatal(kUnreadable);
        return false;
    }
    if (const std::string problem = OpenTemplateDatabaseFor(); !problem.empty()) {
        Fatal(problem);
        return false;
    }
    try {
        if (const std::string problem = UntrustedSchemaProblem(); !problem.empty()) {
            Fatal(problem);
            return false;
        }
        if (!LoadCatalogue()) {
            Fatal(kUnreadable);
            return false;
        }
    } catch (const platform::db::DbBusy&) {
        Fatal(BusyText());
        return false;
    } catch (const platform::db::DbInterrupted&) {
        Fatal(InterruptedText());
        return false;
    } catch (const std::exception& error) {
        Fatal(kReadError + std::string(error.what()));
        return false;
    }
    if (ItemCount < 1) {
        Fatal(kBadParameters);
        return false;
    }
    return true;
}
