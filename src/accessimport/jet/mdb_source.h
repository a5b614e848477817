#pragma once
// Read-only access to the user tables of a Jet (Access) file through libmdb.
// Values come out already converted to what the SQLite store keeps; anything
// that does not add up (row counts, long-value lengths, offsets outside the
// page) is reported as a damaged file.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace accessimport::jet {

struct ImportError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

enum class Affinity { Integer, Real, Text, Blob };

struct ColumnInfo {
    std::string name;
    Affinity affinity;
};

struct Value {
    enum class Kind { Null, Integer, Real, Text, Blob };
    Kind kind = Kind::Null;
    std::int64_t integer = 0;
    double real = 0;
    std::string bytes; // UTF-8 for Text, raw bytes for Blob
};

class MdbSource;

class TableReader {
  public:
    TableReader(MdbSource& source, const std::string& name);
    ~TableReader();
    TableReader(const TableReader&) = delete;
    TableReader& operator=(const TableReader&) = delete;

    const std::vector<ColumnInfo>& columns() const;
    // Row count recorded in the table definition.
    std::size_t declaredRows() const;
    // Fills `row` with the next live row; false after the last one, once the
    // number of rows read has been checked against the definition.
    bool next(std::vector<Value>& row);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

class MdbSource {
  public:
    // Opens `file` read-only. Jet 3 text is read in the code page named in the
    // file header, or in GBK (CP936) when the header names none the system knows.
    explicit MdbSource(const std::filesystem::path& file);
    ~MdbSource();
    MdbSource(const MdbSource&) = delete;
    MdbSource& operator=(const MdbSource&) = delete;

    const std::string& textCodePage() const; // empty for Jet 4 and later
    std::vector<std::string> userTables();

    // Notes on values that were stored but deserve a look (characters outside
    // the Basic Multilingual Plane, undecodable bytes).
    const std::vector<std::string>& warnings() const;

  private:
    friend class TableReader;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace accessimport::jet
