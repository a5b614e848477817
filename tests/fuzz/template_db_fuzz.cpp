// Fuzz entry: any bytes as the template database 系统模板.mdb, or, when the
// input starts with "SQL:", a fuzzed schema: the rest is run (as an attacker's
// tool would, without the program's defences) on a valid database of one
// item, adding triggers, views, virtual tables, odd column types and values.
// SQLite must open or refuse it; then start-up's checks and the catalogue, and for the
// first items what the windows read from it: the field-definition layout of
// the project-basic-information form with each input's set-up and word list,
// the completeness check and both summaries, the size limit and the manifest
// template, which is then listed as the materials window lists it.
//
// Exceptions are answers (the error barrier reports them to the user); the
// sanitizers and libFuzzer's limits catch the rest (a statement that never
// ends is a timeout). A database whose schema holds a trigger, or a view or
// virtual table under one of the program's table names, must be refused at
// start-up.

#include "fieldforms/completeness.h"
#include "fieldforms/field_layout.h"
#include "fuzz/fuzz_support.h"
#include "materials/manifest.h"
#include "startup/mainbas.h"
#include "util/frmutil.h"
#include "util/template_docs.h"

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kItemsVisited = 4;
constexpr std::size_t kListsFilled = 8;

template <class Step> void Try(Step&& step) {
    try {
        step();
    } catch (const std::exception&) {
        // Reported to the user by the window's error barrier.
    }
}

class CountingList final : public util::ListControl {
  public:
    void Clear() override { entries_ = 0; }
    void AddItem(const std::string&) override { ++entries_; }

  private:
    std::size_t entries_ = 0;
};

void VisitItem(std::size_t index, const fs::path& program) {
    SelectedItem = static_cast<std::int16_t>(index);
    SubItemName = ItemTable[index].子项名称;
    Try([] {
        const fieldforms::FieldSelection selection = fieldforms::ReadFieldSelection();
        Try([&] { fieldforms::LayoutFieldForm(selection.rows, selection.count); });
        std::size_t filled = 0;
        for (const fieldforms::FieldDefinition& row : selection.rows) {
            Try([&] { fieldforms::SetUpInput(row, fieldforms::ReadItemColumn); });
            const auto list = fieldforms::DictionaryList(row);
            if (row.isList() && list && filled++ < kListsFilled) {
                CountingList control;
                Try([&] {
                    util::FillFromDictionary(*list, control,
                                             fieldforms::ShowsCodes(row.name) ? 2 : 1);
                });
            }
        }
    });
    Try([] { fieldforms::CheckCompleteness(fieldforms::kBothForms); });
    Try([] {
        fieldforms::TextLines lines;
        fieldforms::WriteApplicationSummary(fieldforms::kBothForms, lines);
    });
    Try([] { util::ReadSizeLimit(); });
    const std::string work = platform::PathToUtf8(program / "TempXml.XML");
    Try([&] {
        if (util::ExtractXmlTemplate(work))
            materials::ReadOpeningView(work, "");
    });
}

constexpr std::string_view kSqlMark = "SQL:";

// Instructions the fuzzed script may run (an endless recursive insert ends).
int StopScript(void* steps) {
    return ++*static_cast<long*>(steps) > 20000;
}

// A valid database of one item, then the script; false when the database
// cannot be made.
bool MakeDatabase(const fs::path& file, const std::string& script) {
    static const std::string schema = fuzz::ReadAll(QUILLOR_SCHEMA_SQL);
    sqlite3* db = nullptr;
    if (sqlite3_open(platform::PathToUtf8(file).c_str(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        return false;
    }
    const std::string rows =
        "INSERT INTO 系统参数(类别,标题名称,简称,数量,子项,有效) VALUES(3,'测试','测',1,1,1);"
        "INSERT INTO 资料模板(类别,序号,子项序号,子项名称,申请事项名称,申请事项简称,文件标识,"
        "项目名称标识,XML模板,文件大小) VALUES(3,1,0,'','事项','事','T',0,"
        "CAST('<?xml version=\"1.0\"?><offer a=\"1\" b=\"T\"><attachments><attachment "
        "fjid=\"1\"><fjmc>甲</fjmc><fileList/></attachment></attachments></offer>' AS BLOB),"
        "200);"
        "INSERT INTO 项目基本信息(类别,序号,排序号,字段名称,显示名称,字段类型,字段长度,字段宽度,"
        "显示宽度,字段高度) VALUES(3,0,1,'字段','字段',0,50,'3','2','10');";
    const bool made =
        sqlite3_exec(db, (schema + rows).c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    // The base database is the harness's own: it must always be made.
    fuzz::Check(made && !schema.empty(),
                "the base database cannot be made from " + std::string(QUILLOR_SCHEMA_SQL));
    long steps = 0;
    sqlite3_progress_handler(db, 100, StopScript, &steps);
    if (made)
        sqlite3_exec(db, script.c_str(), nullptr, nullptr, nullptr); // errors are part of it
    sqlite3_close(db);
    return made;
}

// Whether the schema holds what start-up must refuse.
bool HoldsCode(const fs::path& file) {
    sqlite3* db = nullptr;
    bool code = false;
    if (sqlite3_open_v2(platform::PathToUtf8(file).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db,
                               "select count(*) from sqlite_master where type='trigger' or "
                               "(name in ('系统参数','资料模板','项目基本信息','综合词表') and "
                               "(type='view' or (type='table' and sql like 'create virtual%')))",
                               -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            code = sqlite3_column_int64(stmt, 0) > 0;
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return code;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fs::path root = fuzz::OwnRoot("template-db");
    static const fs::path program = root / "程序";
    fuzz::InstallQuietPrompter();
    fs::create_directories(program);
    fuzz::Empty(program);
    const std::string input(reinterpret_cast<const char*>(data), size);
    const fs::path database = program / kTemplateDatabaseName;
    const bool schema = input.starts_with(kSqlMark);
    if (schema) {
        if (!MakeDatabase(database, input.substr(kSqlMark.size())))
            return 0;
    } else {
        fuzz::WriteAll(database, data, size);
    }
    const bool code = schema && HoldsCode(database);

    StartupHooks hooks;
    hooks.countPrinters = [] { return 0; };
    const bool started = Main(program, hooks);
    fuzz::Check(!(started && code), "started on a database whose schema holds code");
    if (started) {
        for (std::size_t i = 0; i < ItemTable.size() && i < kItemsVisited; ++i)
            VisitItem(i, program);
    }
    ResetGlobals(); // closes the connection
    return 0;
}
