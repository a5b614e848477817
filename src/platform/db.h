#pragma once
// Access to the template database: one connection, recordsets over query
// results, fields read and assigned by name or position, and a binary stream
// that writes a long binary value to a file. Stored as SQLite; the file keeps
// the name the program has always used.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

struct sqlite3;

namespace platform::db {

class DbError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The database is locked by another program (SQLite's "database is locked"
// after the busy wait).
class DbBusy : public DbError {
  public:
    using DbError::DbError;
};

// A statement that ran longer than the statement time limit and was cut off
// (a view over an endless recursive query, say): the database is treated as
// unreadable, never waited on.
class DbInterrupted : public DbError {
  public:
    using DbError::DbError;
};

// A value too large to be read: longer than kMaxLengthBytes (SQLite's
// "string or blob too big").
class DbTooBig : public DbError {
  public:
    using DbError::DbError;
};

// The longest value and the longest row the template database may hold
// (SQLite's length limit, set on every connection): a value beyond it is
// refused before it is read into memory. The row of an item holds both its
// documents (XML模板, DOC模板) besides the applicant's entries, and a row is
// rewritten whole when one of its values changes, so the limit leaves room for
// the largest documents the program takes (util/template_docs.h) together.
inline constexpr int kMaxLengthBytes = 96 << 20;

// Every statement of a connection is bounded by this much time of work
// (SQLite's progress handler); 5 seconds unless a test sets it.
void SetStatementTimeLimit(std::chrono::milliseconds limit);
std::chrono::milliseconds StatementTimeLimit();

using Blob = std::vector<unsigned char>;

class Value {
  public:
    enum class Type { Null, Integer, Real, Text, Binary };

    Value() = default;
    Value(std::nullptr_t) {}
    Value(int v) : data_(static_cast<std::int64_t>(v)) {}
    Value(std::int64_t v) : data_(v) {}
    Value(double v) : data_(v) {}
    Value(std::string v) : data_(std::move(v)) {}
    Value(const char* v) : data_(std::string(v)) {}
    Value(Blob v) : data_(std::move(v)) {}

    Type type() const { return static_cast<Type>(data_.index()); }
    bool isNull() const { return type() == Type::Null; }

    // Text form of the value; empty for null. Numbers in plain decimal.
    std::string toText() const;
    // The value as a number: integers and reals as they are, texts that are
    // wholly numeric; nullopt for null, binary and other texts.
    std::optional<double> toNumber() const;
    const Blob* blob() const { return std::get_if<Blob>(&data_); }
    const std::int64_t* integer() const { return std::get_if<std::int64_t>(&data_); }

    bool operator==(const Value&) const = default;

  private:
    std::variant<std::monostate, std::int64_t, double, std::string, Blob> data_;
};

class Connection {
  public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // "Driver={...};Dbq=<file>;DefaultDir=<folder>;Uid=Admin;Pwd=;"
    std::string ConnectionString;

    // Opens the file named by Dbq (relative to DefaultDir). Throws DbError when
    // the file is missing or is not a template database (DbBusy when another
    // program holds it locked); nothing is written. The file is untrusted: it
    // is opened in SQLite's defensive mode with an untrusted schema (views and
    // triggers may call no function with side effects), its cells are checked
    // for sizes that do not fit their page, no value may pass kMaxLengthBytes,
    // and every statement is bounded by the statement time limit.
    void Open(const std::string& user = "", const std::string& password = "");
    void Close();
    bool IsOpen() const { return handle_ != nullptr; }
    const std::filesystem::path& DatabasePath() const { return path_; }
    sqlite3* handle() const;
    // Starts the time of one statement (done by every operation of this layer
    // before it prepares or steps a statement: the time never counts from an
    // earlier statement or from the opening).
    void startStatement() const;

  private:
    struct Closer {
        void operator()(sqlite3* db) const;
    };

  public:
    struct StatementClock;

  private:
    std::unique_ptr<sqlite3, Closer> handle_;
    std::filesystem::path path_;
    std::shared_ptr<StatementClock> clock_;
};

enum class CursorType { ForwardOnly, Keyset };
enum class LockType { ReadOnly, Optimistic };

class Recordset;

// A column of the current row of a recordset.
class Field {
  public:
    const std::string& Name() const;
    const Value& GetValue() const;
    // Assigns the value in the current row; Update writes it to the database.
    void SetValue(Value v);

  private:
    friend class Recordset;
    Field(Recordset* rs, int column) : rs_(rs), column_(column) {}
    Recordset* rs_;
    int column_;
};

class Recordset {
  public:
    Recordset();
    ~Recordset();
    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) noexcept;

    void Open(const std::string& sql, Connection& connection,
              CursorType cursor = CursorType::Keyset, LockType lock = LockType::Optimistic);
    void Close();
    bool IsOpen() const;

    bool Eof() const;
    void MoveNext();
    void MoveFirst();
    void MoveLast();
    long RecordCount() const;
    // An independent cursor over the same rows, positioned on the first row.
    Recordset Clone() const;

    int FieldCount() const;
    Field Fields(int index);
    // Finds a column by name (ASCII letters compare without case); throws
    // DbError when the recordset has no such column.
    Field Fields(const std::string& name);
    // Writes the assigned values of the current row to the database at once.
    void Update();

  private:
    friend class Field;
    struct Rows;
    void requireOpen() const;
    void requireRow() const;
    std::shared_ptr<Rows> rows_;
    std::size_t position_ = 0;
    LockType lock_ = LockType::ReadOnly;
    std::vector<int> pending_;
};

// Collects long binary values and saves them to a file byte for byte.
class BinaryStream {
  public:
    void Open();
    void Write(const Value& value);
    // Throws DbError when the file exists and overwrite is false, or on I/O errors.
    void SaveToFile(const std::filesystem::path& path, bool overwrite = true) const;
    void Close();

  private:
    bool open_ = false;
    Blob bytes_;
};

// All writes between construction and Commit form one unit: a transaction
// that is not committed is rolled back when the object goes, so an exception
// thrown half-way through a save leaves the database as it was.
class Transaction {
  public:
    // Throws DbError when the connection is closed or already in a transaction.
    explicit Transaction(Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Makes the writes permanent; throws DbError when the database refuses.
    void Commit();
    void Rollback();

  private:
    sqlite3* db_;
    const Connection* connection_;
    bool open_ = false;
};

// The text a value is written into SQL with: plain decimal or quoted text
// with single quotes doubled.
std::string SqlQuote(const std::string& text);
// A name as an SQL identifier: between double quotes, inner quotes doubled.
std::string QuoteIdentifier(const std::string& name);

} // namespace platform::db
