#include "accessimport/jet/sqlite_sink.h"

#include <sqlite3.h>

#include <system_error>

namespace accessimport::jet {
namespace {

struct DbCloser {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StmtFinalizer {
    void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};

std::string QuoteName(const std::string& name) {
    std::string quoted = "\"";
    for (char c : name) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + '"';
}

const char* DeclaredType(Affinity affinity) {
    switch (affinity) {
    case Affinity::Integer:
        return "INTEGER";
    case Affinity::Real:
        return "REAL";
    case Affinity::Text:
        return "TEXT";
    case Affinity::Blob:
        break;
    }
    return "BLOB";
}

std::string Utf8Path(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace

struct SqliteSink::Impl {
    std::filesystem::path file;
    std::unique_ptr<sqlite3, DbCloser> db;
    std::unique_ptr<sqlite3_stmt, StmtFinalizer> insert;
    bool committed = false;

    // Closes without committing and removes what was written.
    void discard() {
        insert.reset();
        db.reset();
        std::error_code ignored;
        std::filesystem::remove(file, ignored);
        std::filesystem::path journal = file;
        journal += "-journal";
        std::filesystem::remove(journal, ignored);
    }

    [[noreturn]] void fail(const std::string& what) const {
        throw ImportError(what + ": " + (db ? sqlite3_errmsg(db.get()) : "SQLite"));
    }

    void exec(const std::string& sql) {
        if (sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            fail("写入 SQLite 文件失败");
    }

    void bind(int index, const Value& value) {
        sqlite3_stmt* stmt = insert.get();
        int rc = SQLITE_OK;
        switch (value.kind) {
        case Value::Kind::Null:
            rc = sqlite3_bind_null(stmt, index);
            break;
        case Value::Kind::Integer:
            rc = sqlite3_bind_int64(stmt, index, value.integer);
            break;
        case Value::Kind::Real:
            rc = sqlite3_bind_double(stmt, index, value.real);
            break;
        case Value::Kind::Text: // data() is never null, so empty text stays empty text
            rc = sqlite3_bind_text64(stmt, index, value.bytes.data(), value.bytes.size(),
                                     SQLITE_TRANSIENT, SQLITE_UTF8);
            break;
        case Value::Kind::Blob:
            rc = value.bytes.empty() ? sqlite3_bind_zeroblob(stmt, index, 0)
                                     : sqlite3_bind_blob64(stmt, index, value.bytes.data(),
                                                           value.bytes.size(), SQLITE_TRANSIENT);
            break;
        }
        if (rc != SQLITE_OK)
            fail("写入 SQLite 文件失败");
    }
};

SqliteSink::SqliteSink(const std::filesystem::path& file) : impl_(std::make_unique<Impl>()) {
    impl_->file = file;
    std::error_code ec;
    if (std::filesystem::exists(file, ec) || ec)
        throw ImportError("输出文件已存在: " + Utf8Path(file));
    try {
        sqlite3* raw = nullptr;
        const int rc = sqlite3_open_v2(Utf8Path(file).c_str(), &raw,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        impl_->db.reset(raw);
        if (rc != SQLITE_OK)
            impl_->fail("无法创建 SQLite 文件 " + Utf8Path(file));
        // Defensive: nothing but the tables this sink creates ever reaches the file.
        sqlite3_db_config(raw, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
        sqlite3_db_config(raw, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
        impl_->exec("PRAGMA synchronous=FULL");
        impl_->exec("BEGIN");
    } catch (...) {
        impl_->discard();
        throw;
    }
}

SqliteSink::~SqliteSink() {
    if (!impl_->committed)
        impl_->discard();
}

void SqliteSink::beginTable(const std::string& name, const std::vector<ColumnInfo>& columns) {
    if (columns.empty())
        throw ImportError("表 " + name + " 没有列");
    std::string create = "CREATE TABLE " + QuoteName(name) + " (";
    std::string insert = "INSERT INTO " + QuoteName(name) + " VALUES (";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const char* separator = i == 0 ? "" : ", ";
        create += separator + QuoteName(columns[i].name) + " " + DeclaredType(columns[i].affinity);
        insert += separator + std::string("?");
    }
    impl_->insert.reset();
    impl_->exec(create + ")");
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(impl_->db.get(), (insert + ")").c_str(), -1, &stmt, nullptr) !=
        SQLITE_OK)
        impl_->fail("写入 SQLite 文件失败");
    impl_->insert.reset(stmt);
}

void SqliteSink::insert(const std::vector<Value>& row) {
    for (std::size_t i = 0; i < row.size(); ++i)
        impl_->bind(static_cast<int>(i + 1), row[i]);
    if (sqlite3_step(impl_->insert.get()) != SQLITE_DONE)
        impl_->fail("写入 SQLite 文件失败");
    sqlite3_reset(impl_->insert.get());
}

void SqliteSink::commit() {
    impl_->insert.reset();
    // The converted database holds tables only: never a trigger, view or index
    // (the program refuses a template database whose schema holds code).
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(impl_->db.get(),
                           "select count(*) from sqlite_master where type<>'table' or "
                           "upper(ltrim(sql)) not like 'CREATE TABLE %'",
                           -1, &raw, nullptr) != SQLITE_OK)
        impl_->fail("写入 SQLite 文件失败");
    std::unique_ptr<sqlite3_stmt, StmtFinalizer> check(raw);
    if (sqlite3_step(raw) != SQLITE_ROW || sqlite3_column_int64(raw, 0) != 0)
        throw ImportError("转换结果中含有数据表以外的对象");
    check.reset();
    impl_->exec("COMMIT");
    if (sqlite3_close(impl_->db.release()) != SQLITE_OK)
        throw ImportError("无法关闭 SQLite 文件 " + Utf8Path(impl_->file));
    impl_->committed = true;
}

} // namespace accessimport::jet
