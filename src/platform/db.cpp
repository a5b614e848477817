#include "platform/db.h"

#include "platform/utf8.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <cmath>
#include <fstream>

namespace platform::db {
namespace {

constexpr const char* kRowIdColumn = "quillor_rowid_";

struct StatementCloser {
    void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementCloser>;

std::atomic<long long> statementLimitMs{5000};

// Instructions between two looks at the clock.
constexpr int kProgressInstructions = 1000;

[[noreturn]] void ThrowSqlite(sqlite3* db, const std::string& context) {
    const std::string text = context + ": " + (db ? sqlite3_errmsg(db) : "database not open");
    switch (db ? sqlite3_errcode(db) & 0xFF : SQLITE_OK) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        throw DbBusy(text);
    case SQLITE_INTERRUPT:
        throw DbInterrupted(text);
    case SQLITE_TOOBIG:
        throw DbTooBig(text);
    default:
        throw DbError(text);
    }
}

Statement Prepare(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &raw, nullptr) !=
        SQLITE_OK) {
        sqlite3_finalize(raw);
        ThrowSqlite(db, sql);
    }
    return Statement(raw);
}

std::string NumberText(double v) {
    std::array<char, 64> buffer{};
    auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), v);
    return ec == std::errc() ? std::string(buffer.data(), end) : std::string();
}

Value ReadColumn(sqlite3_stmt* stmt, int column) {
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_INTEGER:
        return Value(static_cast<std::int64_t>(sqlite3_column_int64(stmt, column)));
    case SQLITE_FLOAT:
        return Value(sqlite3_column_double(stmt, column));
    case SQLITE_TEXT: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
        return Value(std::string(text ? text : "", sqlite3_column_bytes(stmt, column)));
    }
    case SQLITE_BLOB: {
        const auto* bytes = static_cast<const unsigned char*>(sqlite3_column_blob(stmt, column));
        return Value(Blob(bytes, bytes + sqlite3_column_bytes(stmt, column)));
    }
    default:
        return Value();
    }
}

void Bind(sqlite3_stmt* stmt, int index, const Value& value) {
    switch (value.type()) {
    case Value::Type::Null:
        sqlite3_bind_null(stmt, index);
        break;
    case Value::Type::Integer:
        sqlite3_bind_int64(stmt, index, static_cast<sqlite3_int64>(*value.integer()));
        break;
    case Value::Type::Real:
        sqlite3_bind_double(stmt, index, *value.toNumber());
        break;
    case Value::Type::Text: {
        const std::string text = value.toText();
        sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
        break;
    }
    case Value::Type::Binary:
        // An empty blob has no data pointer, which SQLite would store as null.
        if (value.blob()->empty())
            sqlite3_bind_zeroblob(stmt, index, 0);
        else
            sqlite3_bind_blob(stmt, index, value.blob()->data(),
                              static_cast<int>(value.blob()->size()), SQLITE_TRANSIENT);
        break;
    }
}

// "select * from ..." or "select a, b from ..." gets the row id in front so
// that rows can be written back (a query it does not fit fails to prepare and
// is run as it is, read-only).
std::optional<std::string> WithRowId(const std::string& sql) {
    std::size_t start = sql.find_first_not_of(" \t\r\n");
    if (start == std::string::npos ||
        !platform::EqualsIgnoreAsciiCase(sql.substr(start, 6), "select"))
        return std::nullopt;
    std::size_t first = sql.find_first_not_of(" \t\r\n", start + 6);
    if (first == std::string::npos || first == start + 6)
        return std::nullopt;
    return sql.substr(0, start) + "select rowid as " + kRowIdColumn + ", " + sql.substr(first);
}

bool IsConnectionKeyword(const std::string& part) {
    const std::size_t eq = part.find('=');
    if (eq == std::string::npos)
        return false;
    const std::string key = part.substr(0, eq);
    for (const char* known : {"Driver", "Dbq", "DefaultDir", "Uid", "Pwd"})
        if (platform::EqualsIgnoreAsciiCase(key, known))
            return true;
    return false;
}

// A folder or file name may itself hold ";": a piece that does not start with
// one of the keywords continues the value before it.
std::string ParameterOf(const std::string& connectionString, const std::string& key) {
    std::optional<std::string> value;
    std::size_t pos = 0;
    while (pos < connectionString.size()) {
        std::size_t end = connectionString.find(';', pos);
        if (end == std::string::npos)
            end = connectionString.size();
        const std::string part = connectionString.substr(pos, end - pos);
        pos = end + 1;
        if (!IsConnectionKeyword(part)) {
            if (value)
                *value += ";" + part;
            continue;
        }
        if (value)
            break;
        const std::size_t eq = part.find('=');
        if (platform::EqualsIgnoreAsciiCase(part.substr(0, eq), key))
            value = part.substr(eq + 1);
    }
    return value.value_or(std::string());
}

bool HasSqliteHeader(const std::filesystem::path& path) {
    static constexpr char kMagic[16] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f',
                                        'o', 'r', 'm', 'a', 't', ' ', '3', '\0'};
    std::ifstream in(path, std::ios::binary);
    std::array<char, 16> head{};
    return in && in.read(head.data(), head.size()) && std::equal(head.begin(), head.end(), kMagic);
}

} // namespace

// ---- Value ---------------------------------------------------------------

std::string Value::toText() const {
    switch (type()) {
    case Type::Null:
        return {};
    case Type::Integer:
        return std::to_string(std::get<std::int64_t>(data_));
    case Type::Real:
        return NumberText(std::get<double>(data_));
    case Type::Text:
        return std::get<std::string>(data_);
    case Type::Binary: {
        const Blob& b = std::get<Blob>(data_);
        return std::string(b.begin(), b.end());
    }
    }
    return {};
}

std::optional<double> Value::toNumber() const {
    switch (type()) {
    case Type::Integer:
        return static_cast<double>(std::get<std::int64_t>(data_));
    case Type::Real:
        return std::get<double>(data_);
    case Type::Text: {
        const std::string& text = std::get<std::string>(data_);
        const std::size_t first = text.find_first_not_of(' ');
        const std::size_t last = text.find_last_not_of(' ');
        if (first == std::string::npos)
            return std::nullopt;
        const char* begin = text.data() + first;
        const char* end = text.data() + last + 1;
        if (*begin == '+' && end - begin > 1 && begin[1] != '-')
            ++begin;
        double result = 0;
        auto [ptr, ec] = std::from_chars(begin, end, result);
        if (ec != std::errc() || ptr != end || !std::isfinite(result))
            return std::nullopt;
        return result;
    }
    default:
        return std::nullopt;
    }
}

// ---- Connection ----------------------------------------------------------

void SetStatementTimeLimit(std::chrono::milliseconds limit) {
    statementLimitMs = limit.count();
}

std::chrono::milliseconds StatementTimeLimit() {
    return std::chrono::milliseconds(statementLimitMs.load());
}

struct Connection::StatementClock {
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();

    void start() { deadline = std::chrono::steady_clock::now() + StatementTimeLimit(); }
    // SQLite's progress handler: non-zero cuts the running statement off.
    static int PastDeadline(void* self) {
        return std::chrono::steady_clock::now() > static_cast<StatementClock*>(self)->deadline;
    }
};

void Connection::startStatement() const {
    if (clock_)
        clock_->start();
}

void Connection::Closer::operator()(sqlite3* db) const {
    sqlite3_close_v2(db);
}

Connection::Connection() = default;
Connection::~Connection() = default;

sqlite3* Connection::handle() const {
    return handle_.get();
}

void Connection::Open(const std::string&, const std::string&) {
    Close();
    const std::string file = ParameterOf(ConnectionString, "Dbq");
    const std::string folder = ParameterOf(ConnectionString, "DefaultDir");
    if (file.empty())
        throw DbError("connection string names no database file");
    std::filesystem::path path = platform::PathFromUtf8(file);
    if (path.is_relative() && !folder.empty())
        path = platform::PathFromUtf8(folder) / path;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        throw DbError("database file not found: " + platform::PathToUtf8(path));
    // A file that is not one of ours is refused before SQLite sees it, so it is
    // never written to (SQLite would take an empty file as an empty database).
    if (!HasSqliteHeader(path))
        throw DbError("not a template database: " + platform::PathToUtf8(path));
    sqlite3* raw = nullptr;
    const int rc =
        sqlite3_open_v2(platform::PathToUtf8(path).c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    std::unique_ptr<sqlite3, Closer> db(raw);
    if (rc != SQLITE_OK)
        ThrowSqlite(raw, "cannot open " + platform::PathToUtf8(path));
    sqlite3_busy_timeout(raw, 2000);
    // The file comes from elsewhere: its schema is data, never code. Defensive
    // mode forbids what could corrupt it on purpose; an untrusted schema lets
    // views and triggers call no function with side effects.
    int set = 0;
    if (sqlite3_db_config(raw, SQLITE_DBCONFIG_DEFENSIVE, 1, &set) != SQLITE_OK || set != 1 ||
        sqlite3_db_config(raw, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, &set) != SQLITE_OK || set != 0)
        throw DbError("cannot open " + platform::PathToUtf8(path) + " defensively");
    // A damaged or crafted page must not make SQLite read past a cell, and no
    // value may be larger than the program can use: SQLite refuses a longer
    // one before it allocates it (a TEXT value measured with length() stops
    // at its first NUL, so sizes alone are no bound).
    sqlite3_limit(raw, SQLITE_LIMIT_LENGTH, kMaxLengthBytes);
    if (sqlite3_exec(raw, "pragma cell_size_check=on", nullptr, nullptr, nullptr) != SQLITE_OK)
        ThrowSqlite(raw, "cannot open " + platform::PathToUtf8(path));
    auto clock = std::make_shared<StatementClock>();
    sqlite3_progress_handler(raw, kProgressInstructions, &StatementClock::PastDeadline,
                             clock.get());
    clock->start();
    // Reading the schema proves the file is a readable database.
    Statement schema = Prepare(raw, "select count(*) from sqlite_master");
    if (sqlite3_step(schema.get()) != SQLITE_ROW)
        ThrowSqlite(raw, "cannot read " + platform::PathToUtf8(path));
    schema.reset();
    handle_ = std::move(db);
    path_ = path;
    clock_ = std::move(clock);
}

void Connection::Close() {
    handle_.reset();
    path_.clear();
    clock_.reset();
}

// ---- Recordset -----------------------------------------------------------

struct Recordset::Rows {
    sqlite3* db = nullptr;
    const Connection* connection = nullptr;
    std::vector<std::string> names;
    std::vector<std::string> tables;  // source table of each column, empty if computed
    std::vector<std::string> origins; // source column of each column
    std::vector<std::vector<Value>> values;
    std::vector<std::int64_t> rowIds; // empty when rows cannot be written back
};

Recordset::Recordset() = default;
Recordset::~Recordset() = default;
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;

void Recordset::Open(const std::string& sql, Connection& connection, CursorType, LockType lock) {
    Close();
    sqlite3* db = connection.handle();
    if (!db)
        throw DbError("connection is not open");
    // Preparing may read the schema anew, which counts as the statement's work.
    connection.startStatement();
    Statement stmt;
    bool hasRowId = false;
    if (auto withRowId = WithRowId(sql); withRowId && lock == LockType::Optimistic) {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(db, withRowId->c_str(), -1, &raw, nullptr) == SQLITE_OK) {
            stmt.reset(raw);
            hasRowId = true;
        } else {
            sqlite3_finalize(raw);
        }
    }
    if (!stmt)
        stmt = Prepare(db, sql);

    auto rows = std::make_shared<Rows>();
    rows->db = db;
    rows->connection = &connection;
    const int first = hasRowId ? 1 : 0;
    // The columns are read after the first step: a schema changed by another
    // connection since this one last looked is noticed there, and the
    // statement is compiled anew, so names and values always agree.
    int rc = sqlite3_step(stmt.get());
    const int columns = sqlite3_column_count(stmt.get());
    for (int c = first; c < columns; ++c) {
        rows->names.emplace_back(sqlite3_column_name(stmt.get(), c));
        const char* table = sqlite3_column_table_name(stmt.get(), c);
        const char* origin = sqlite3_column_origin_name(stmt.get(), c);
        rows->tables.emplace_back(table ? table : "");
        rows->origins.emplace_back(origin ? origin : "");
    }
    for (; rc == SQLITE_ROW; rc = sqlite3_step(stmt.get())) {
        if (hasRowId)
            rows->rowIds.push_back(sqlite3_column_int64(stmt.get(), 0));
        std::vector<Value> row;
        row.reserve(columns - first);
        for (int c = first; c < columns; ++c)
            row.push_back(ReadColumn(stmt.get(), c));
        rows->values.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE)
        ThrowSqlite(db, sql);
    rows_ = std::move(rows);
    position_ = 0;
    lock_ = lock;
    pending_.clear();
}

void Recordset::Close() {
    rows_.reset();
    position_ = 0;
    pending_.clear();
}

bool Recordset::IsOpen() const {
    return rows_ != nullptr;
}

void Recordset::requireOpen() const {
    if (!rows_)
        throw DbError("recordset is not open");
}

void Recordset::requireRow() const {
    requireOpen();
    if (Eof())
        throw DbError("no current row");
}

bool Recordset::Eof() const {
    requireOpen();
    return position_ >= rows_->values.size();
}

void Recordset::MoveNext() {
    requireRow();
    pending_.clear();
    ++position_;
}

void Recordset::MoveFirst() {
    requireOpen();
    pending_.clear();
    position_ = 0;
}

void Recordset::MoveLast() {
    requireOpen();
    pending_.clear();
    position_ = rows_->values.empty() ? 0 : rows_->values.size() - 1;
}

long Recordset::RecordCount() const {
    requireOpen();
    return static_cast<long>(rows_->values.size());
}

Recordset Recordset::Clone() const {
    requireOpen();
    Recordset copy;
    copy.rows_ = rows_;
    copy.lock_ = lock_;
    return copy;
}

int Recordset::FieldCount() const {
    requireOpen();
    return static_cast<int>(rows_->names.size());
}

Field Recordset::Fields(int index) {
    requireOpen();
    if (index < 0 || index >= FieldCount())
        throw DbError("field index out of range: " + std::to_string(index));
    return Field(this, index);
}

Field Recordset::Fields(const std::string& name) {
    requireOpen();
    for (std::size_t c = 0; c < rows_->names.size(); ++c)
        if (platform::EqualsIgnoreAsciiCase(rows_->names[c], name))
            return Field(this, static_cast<int>(c));
    throw DbError("no such column: " + name);
}

void Recordset::Update() {
    requireRow();
    if (pending_.empty())
        return;
    if (lock_ == LockType::ReadOnly || rows_->rowIds.empty())
        throw DbError("recordset is read-only");
    const std::string& table = rows_->tables[pending_.front()];
    std::string sql = "update " + QuoteIdentifier(table) + " set ";
    for (std::size_t i = 0; i < pending_.size(); ++i) {
        if (rows_->tables[pending_[i]] != table || rows_->origins[pending_[i]].empty())
            throw DbError("column cannot be updated: " + rows_->names[pending_[i]]);
        sql += (i ? ", " : "") + QuoteIdentifier(rows_->origins[pending_[i]]) + "=?";
    }
    sql += " where rowid=?";
    if (rows_->connection)
        rows_->connection->startStatement();
    Statement stmt = Prepare(rows_->db, sql);
    const auto& row = rows_->values[position_];
    for (std::size_t i = 0; i < pending_.size(); ++i)
        Bind(stmt.get(), static_cast<int>(i + 1), row[pending_[i]]);
    sqlite3_bind_int64(stmt.get(), static_cast<int>(pending_.size() + 1), rows_->rowIds[position_]);
    if (sqlite3_step(stmt.get()) != SQLITE_DONE)
        ThrowSqlite(rows_->db, "update " + table);
    pending_.clear();
}

// ---- Field ---------------------------------------------------------------

const std::string& Field::Name() const {
    rs_->requireOpen();
    return rs_->rows_->names[column_];
}

const Value& Field::GetValue() const {
    rs_->requireRow();
    return rs_->rows_->values[rs_->position_][column_];
}

void Field::SetValue(Value v) {
    rs_->requireRow();
    if (rs_->lock_ == LockType::ReadOnly)
        throw DbError("recordset is read-only");
    // Clones share the rows; writes go to this cursor's row only.
    if (rs_->rows_.use_count() > 1)
        rs_->rows_ = std::make_shared<Recordset::Rows>(*rs_->rows_);
    rs_->rows_->values[rs_->position_][column_] = std::move(v);
    if (std::find(rs_->pending_.begin(), rs_->pending_.end(), column_) == rs_->pending_.end())
        rs_->pending_.push_back(column_);
}

// ---- BinaryStream --------------------------------------------------------

void BinaryStream::Open() {
    open_ = true;
    bytes_.clear();
}

void BinaryStream::Write(const Value& value) {
    if (!open_)
        throw DbError("stream is not open");
    if (const Blob* b = value.blob()) {
        bytes_.insert(bytes_.end(), b->begin(), b->end());
    } else if (value.type() == Value::Type::Text) {
        const std::string text = value.toText();
        bytes_.insert(bytes_.end(), text.begin(), text.end());
    } else {
        throw DbError("value is not long binary data");
    }
}

void BinaryStream::SaveToFile(const std::filesystem::path& path, bool overwrite) const {
    if (!open_)
        throw DbError("stream is not open");
    std::error_code ec;
    if (!overwrite && std::filesystem::exists(path, ec))
        throw DbError("file exists: " + platform::PathToUtf8(path));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes_.data()),
              static_cast<std::streamsize>(bytes_.size()));
    out.close();
    if (!out)
        throw DbError("cannot write " + platform::PathToUtf8(path));
}

void BinaryStream::Close() {
    open_ = false;
    bytes_.clear();
}

// ---- Transaction ---------------------------------------------------------

Transaction::Transaction(Connection& connection)
    : db_(connection.handle()), connection_(&connection) {
    if (!db_)
        throw DbError("transaction: database not open");
    if (sqlite3_get_autocommit(db_) == 0)
        throw DbError("transaction: a transaction is already open");
    connection.startStatement();
    if (sqlite3_exec(db_, "begin immediate", nullptr, nullptr, nullptr) != SQLITE_OK)
        ThrowSqlite(db_, "begin transaction");
    open_ = true;
}

Transaction::~Transaction() {
    Rollback();
}

void Transaction::Commit() {
    if (!open_)
        throw DbError("commit: no open transaction");
    connection_->startStatement();
    if (sqlite3_exec(db_, "commit", nullptr, nullptr, nullptr) != SQLITE_OK) {
        const std::string message = sqlite3_errmsg(db_);
        Rollback();
        throw DbError("commit: " + message);
    }
    open_ = false;
}

void Transaction::Rollback() {
    if (!open_)
        return;
    open_ = false;
    connection_->startStatement();
    if (sqlite3_get_autocommit(db_) == 0)
        sqlite3_exec(db_, "rollback", nullptr, nullptr, nullptr);
}

std::string SqlQuote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out + "'";
}

std::string QuoteIdentifier(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + "\"";
}

} // namespace platform::db
