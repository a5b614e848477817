#include "fixture_db.h"

#include "startup/mainbas.h"

#include <algorithm>

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>
#include <system_error>

#ifndef QUILLOR_SCHEMA_SQL
#error "QUILLOR_SCHEMA_SQL must name data/demo/schema.sql"
#endif

namespace testsupport {

namespace fs = std::filesystem;

namespace {

std::string PathToUtf8(const fs::path& path) {
    const std::u8string s = path.u8string();
    return {s.begin(), s.end()};
}

struct StatementFinalizer {
    void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

[[noreturn]] void Fail(sqlite3* db, const std::string& what) {
    throw std::runtime_error(what + ": " + sqlite3_errmsg(db));
}

Statement Prepare(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &raw, nullptr) !=
        SQLITE_OK) {
        Fail(db, sql);
    }
    return Statement(raw);
}

void Bind(sqlite3_stmt* stmt, int index, const Cell& cell) {
    const auto& v = cell.value();
    if (const auto* i = std::get_if<long long>(&v)) {
        sqlite3_bind_int64(stmt, index, *i);
    } else if (const auto* d = std::get_if<double>(&v)) {
        sqlite3_bind_double(stmt, index, *d);
    } else if (const auto* s = std::get_if<std::string>(&v)) {
        sqlite3_bind_text64(stmt, index, s->data(), s->size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    } else if (const auto* b = std::get_if<Bytes>(&v)) {
        sqlite3_bind_blob64(stmt, index, b->data(), b->size(), SQLITE_TRANSIENT);
    } else {
        sqlite3_bind_null(stmt, index);
    }
}

Cell ColumnCell(sqlite3_stmt* stmt, int column) {
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_INTEGER:
        return Cell(static_cast<long long>(sqlite3_column_int64(stmt, column)));
    case SQLITE_FLOAT:
        return Cell(sqlite3_column_double(stmt, column));
    case SQLITE_TEXT: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
        return Cell(
            std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, column))));
    }
    case SQLITE_BLOB: {
        const auto* data = static_cast<const unsigned char*>(sqlite3_column_blob(stmt, column));
        const auto size = static_cast<std::size_t>(sqlite3_column_bytes(stmt, column));
        return Cell(data ? Bytes(data, data + size) : Bytes{});
    }
    default:
        return Cell();
    }
}

std::string Escape(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace

// ------------------------------------------------------------ files

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate =
            base / ("quillor-test-" + std::to_string(random()) + "-" + std::to_string(counter++));
        if (fs::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

fs::path TempDir::File(const std::string& name) const {
    return path_ / Utf8Path(name);
}

fs::path Utf8Path(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + PathToUtf8(path));
    }
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + PathToUtf8(path));
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Bytes ToBytes(const std::string& bytes) {
    return Bytes(bytes.begin(), bytes.end());
}

std::string SchemaSql() {
    return ReadFile(Utf8Path(QUILLOR_SCHEMA_SQL));
}

// ------------------------------------------------------------ cells

std::string Cell::Text() const {
    if (const auto* i = std::get_if<long long>(&value_)) {
        return std::to_string(*i);
    }
    if (const auto* d = std::get_if<double>(&value_)) {
        std::ostringstream out;
        out << *d;
        return out.str();
    }
    if (const auto* s = std::get_if<std::string>(&value_)) {
        return *s;
    }
    if (const auto* b = std::get_if<Bytes>(&value_)) {
        return std::string(b->begin(), b->end());
    }
    return {};
}

// ------------------------------------------------------------ manifests

std::string SimpleManifest(const std::string& mark, const std::vector<std::string>& materials) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<offer bbh=\"1.0\" bpbs=\"" +
                      Escape(mark) + "\">\n  <attachments>\n";
    int number = 0;
    for (const std::string& name : materials) {
        const std::string n = std::to_string(++number);
        const std::string esc = Escape(name);
        xml += "    <attachment fjid=\"" + n + "\"><fjxh>" + n + "</fjxh><fjmc>" + esc +
               "</fjmc><dzjs>0</dzjs><fjms>" + esc + "的要求</fjms><fileList>";
        if (name != "其他材料") {
            xml += "<file><fileXh>1</fileXh><fileName>" + esc + "</fileName><fileTitle>" + esc +
                   "</fileTitle><fileUrl></fileUrl><filems></filems></file>";
        }
        xml += "</fileList></attachment>\n";
    }
    return xml + "  </attachments>\n</offer>\n";
}

Bytes DefaultManifest() {
    return ToBytes(SimpleManifest("TEST", {"营业执照", "其他材料"}));
}

// ------------------------------------------------------------ database

void FixtureDb::Closer::operator()(sqlite3* db) const {
    sqlite3_close(db);
}

FixtureDb::FixtureDb(fs::path file, Mode mode) : path_(std::move(file)) {
    if (mode == Mode::Existing) {
        if (!fs::exists(path_)) {
            throw std::runtime_error("no database at " + PathToUtf8(path_));
        }
        return;
    }
    std::error_code ignored;
    fs::remove(path_, ignored);
    Exec(SchemaSql());
}

FixtureDb::~FixtureDb() = default;

sqlite3* FixtureDb::handle() {
    if (!db_) {
        sqlite3* raw = nullptr;
        const int rc = sqlite3_open_v2(PathToUtf8(path_).c_str(), &raw,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        db_.reset(raw);
        if (rc != SQLITE_OK) {
            Fail(raw, "open " + PathToUtf8(path_));
        }
    }
    return db_.get();
}

void FixtureDb::Close() {
    db_.reset();
}

void FixtureDb::Exec(const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(handle(), sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = sql + ": " + (error ? error : "failed");
        sqlite3_free(error);
        throw std::runtime_error(message);
    }
}

void FixtureDb::Insert(const std::string& table, const Columns& values) {
    std::string names;
    std::string marks;
    for (const auto& [name, cell] : values) {
        names += (names.empty() ? "" : ", ") + name;
        marks += marks.empty() ? "?" : ", ?";
    }
    const Statement stmt =
        Prepare(handle(), "INSERT INTO " + table + " (" + names + ") VALUES (" + marks + ")");
    int index = 0;
    for (const auto& entry : values) {
        Bind(stmt.get(), ++index, entry.second);
    }
    if (sqlite3_step(stmt.get()) != SQLITE_DONE) {
        Fail(handle(), "insert into " + table);
    }
}

namespace {
// Extra columns replace the defaults of the same name and add the others.
void MergeExtra(Columns& values, const Columns& extra) {
    for (const auto& entry : extra) {
        auto same = std::find_if(values.begin(), values.end(),
                                 [&](const auto& v) { return v.first == entry.first; });
        if (same != values.end())
            same->second = entry.second;
        else
            values.push_back(entry);
    }
}
} // namespace

void FixtureDb::AddParameters(const ParamRow& row) {
    Insert("系统参数", {{"类别", row.category},
                        {"标题名称", row.title},
                        {"简称", row.shortName},
                        {"数量", row.count},
                        {"子项", row.subCount},
                        {"有效", row.valid}});
}

void FixtureDb::AddItem(const ItemRow& row) {
    Columns values{
        {"类别", row.category},        {"序号", row.seq},          {"子项序号", row.subGroup},
        {"子项名称", row.subName},     {"申请事项名称", row.name}, {"申请事项简称", row.shortName},
        {"存储路径", row.storagePath}, {"文件标识", row.fileMark}, {"项目名称标识", row.nameFlag},
        {"XML模板", row.xml},          {"DOC模板", row.doc},       {"文件大小", row.sizeLimit}};
    MergeExtra(values, row.extra);
    Insert("资料模板", values);
}

void FixtureDb::AddWord(int list, long long code, const std::string& name) {
    Insert("综合词表", {{"类别", list}, {"代码", code}, {"名称", name}});
}

void FixtureDb::AddField(const FieldRow& row) {
    Columns values{
        {"类别", row.category},      {"子项", row.subName},        {"序号", row.seq},
        {"排序号", row.order},       {"字段名称", row.name},       {"显示名称", row.label},
        {"字段类型", row.kind},      {"字段值", row.value},        {"备注值", row.memo},
        {"字段长度", row.length},    {"字段宽度", row.fieldWidth}, {"显示宽度", row.labelWidth},
        {"字段高度", row.height},    {"对齐方式", row.align},      {"是否显示线段", row.lines},
        {"必填项", row.required},    {"词典编码", row.dictionary}, {"继承字段名", row.inheritFrom},
        {"是否可编辑", row.editable}};
    MergeExtra(values, row.extra);
    Insert("项目基本信息", values);
}

void FixtureDb::DropColumn(const std::string& table, const std::string& column) {
    Exec("ALTER TABLE " + table + " DROP COLUMN " + column);
}

std::vector<std::vector<Cell>> FixtureDb::Rows(const std::string& sql) {
    const Statement stmt = Prepare(handle(), sql);
    std::vector<std::vector<Cell>> rows;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        std::vector<Cell> row;
        for (int c = 0; c < sqlite3_column_count(stmt.get()); ++c) {
            row.push_back(ColumnCell(stmt.get(), c));
        }
        rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) {
        Fail(handle(), sql);
    }
    return rows;
}

Cell FixtureDb::Value(const std::string& sql) {
    const auto rows = Rows(sql);
    return rows.empty() || rows.front().empty() ? Cell() : rows.front().front();
}

std::string FixtureDb::Text(const std::string& sql) {
    return Value(sql).Text();
}

bool StartProgram(const std::filesystem::path& programFolder) {
    StartupHooks hooks;
    hooks.countPrinters = [] { return 0; };
    return Main(programFolder, hooks);
}

} // namespace testsupport
