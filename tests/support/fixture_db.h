#pragma once
// Small template databases for tests, built with the raw SQLite API so that
// tests do not depend on the database layer they exercise. The tables are
// those of data/demo/schema.sql, read at run time.
//
//   testsupport::TempDir dir;
//   testsupport::FixtureDb db(dir.path() / "系统模板.mdb");
//   db.AddParameters({.count = "2"});
//   db.AddItem({.seq = 1});
//   db.AddItem({.seq = 2, .xml = testsupport::ToBytes(testsupport::SimpleManifest("M2",
//   {"其他材料"}))}); db.AddField({.order = 1, .name = "资料填报时间", .kind = 2}); db.Text("select
//   字段值 from 项目基本信息 where 排序号=1");

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

struct sqlite3;

namespace testsupport {

// A fresh, empty folder under the system temp folder, removed with all its
// content when the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // path() / name, where name is UTF-8.
    std::filesystem::path File(const std::string& name) const;

  private:
    std::filesystem::path path_;
};

// A path from UTF-8 text, on every platform.
std::filesystem::path Utf8Path(const std::string& utf8);

// Writes bytes to a file (created or replaced); for fixture files of tests.
void WriteFile(const std::filesystem::path& path, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& path);

using Bytes = std::vector<unsigned char>;
Bytes ToBytes(const std::string& bytes);

// A value bound into a row: null, integer, real, text or binary.
class Cell {
  public:
    Cell() = default;
    Cell(std::nullptr_t) {}
    Cell(int v) : value_(static_cast<long long>(v)) {}
    Cell(long long v) : value_(v) {}
    Cell(double v) : value_(v) {}
    Cell(const char* v) : value_(std::string(v)) {}
    Cell(std::string v) : value_(std::move(v)) {}
    Cell(Bytes v) : value_(std::move(v)) {}
    // Text, or null when the optional is empty.
    Cell(const std::optional<std::string>& v) {
        if (v) {
            value_ = *v;
        }
    }

    bool IsNull() const { return std::holds_alternative<std::monostate>(value_); }
    // Plain text of the value: "" for null, decimal for numbers, raw bytes
    // for binary.
    std::string Text() const;

    using Value = std::variant<std::monostate, long long, double, std::string, Bytes>;
    const Value& value() const { return value_; }
    bool operator==(const Cell&) const = default;

  private:
    Value value_;
};

using Columns = std::vector<std::pair<std::string, Cell>>;

// A row of 系统参数; defaults give one valid category 3 with one item.
struct ParamRow {
    int category = 3;
    std::string title = "测试类别审批";
    std::string shortName = "测试类别";
    Cell count = "1";
    Cell subCount = "1";
    int valid = 1;
};

// SimpleManifest("TEST", {"营业执照", "其他材料"}) as bytes.
Bytes DefaultManifest();

// A row of 资料模板; any other column (application-form columns, or a
// different type for a listed one) goes into extra.
struct ItemRow {
    int category = 3;
    int seq = 1;
    Cell subGroup = 0;
    std::string subName{};
    std::string name = "测试事项";
    std::string shortName = "测试";
    Cell storagePath{}; // 存储路径, null by default
    std::string fileMark = "TEST-1";
    Cell nameFlag = 0;            // 项目名称标识
    Cell xml = DefaultManifest(); // XML模板 bytes
    Cell doc{};                   // DOC模板 bytes, null by default
    Cell sizeLimit = 200;         // 文件大小
    Columns extra{};
};

// A row of 项目基本信息; defaults give a shared, optional text field of
// 2 + 3 row units and one line.
struct FieldRow {
    int category = 3;
    std::string subName{};
    int seq = 0;
    int order = 1;
    std::string name = "字段"; // empty: caption row
    std::string label = "字段";
    Cell kind = 0;
    Cell value{}; // 字段值
    Cell memo{};  // 备注值
    Cell length = 50;
    Cell fieldWidth = "3";
    Cell labelWidth = "2";
    Cell height = "10";
    Cell align = 0;
    Cell lines = 1;
    Cell required = 0;
    Cell dictionary{};  // 词典编码
    Cell inheritFrom{}; // 继承字段名
    Cell editable{};    // 是否可编辑
    Columns extra{};
};

// A UTF-8 manifest whose <offer> carries mark as its second attribute and
// one material per name (fjid "1", "2", ...), each with one empty file entry
// except "其他材料", which has none.
std::string SimpleManifest(const std::string& mark, const std::vector<std::string>& materials);

class FixtureDb {
  public:
    enum class Mode { Create, Existing };
    // Create: makes the file (replacing any existing one) with all tables,
    // empty. Existing: works on the database already in the file.
    explicit FixtureDb(std::filesystem::path file, Mode mode = Mode::Create);
    ~FixtureDb();
    FixtureDb(const FixtureDb&) = delete;
    FixtureDb& operator=(const FixtureDb&) = delete;

    const std::filesystem::path& path() const { return path_; }

    void AddParameters(const ParamRow& row = {});
    void AddItem(const ItemRow& row = {});
    void AddWord(int list, long long code, const std::string& name);
    void AddField(const FieldRow& row = {});
    // Inserts one row of any table from (column, value) pairs.
    void Insert(const std::string& table, const Columns& values);

    void Exec(const std::string& sql);
    void DropColumn(const std::string& table, const std::string& column);

    // Every row of a query, each as its cells in column order.
    std::vector<std::vector<Cell>> Rows(const std::string& sql);
    // First column of the first row; null when there is no row.
    Cell Value(const std::string& sql);
    // Value(sql).Text().
    std::string Text(const std::string& sql);

    // Closes the connection (queries reopen it), e.g. before a test
    // replaces or deletes the file.
    void Close();

  private:
    sqlite3* handle();

    struct Closer {
        void operator()(sqlite3* db) const;
    };
    std::filesystem::path path_;
    std::unique_ptr<sqlite3, Closer> db_;
};

// Runs start-up on the template database in `programFolder` without asking
// for printers, as the tests of forms and data need it. True when the
// catalogue was loaded.
bool StartProgram(const std::filesystem::path& programFolder);

// Tables and columns of the template database, as SQL.
std::string SchemaSql();

} // namespace testsupport
