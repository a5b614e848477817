#pragma once
// Writes imported tables into a new SQLite file in one transaction. The file is
// removed again unless commit() succeeds.

#include "accessimport/jet/mdb_source.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace accessimport::jet {

class SqliteSink {
  public:
    // Refuses to touch an existing file.
    explicit SqliteSink(const std::filesystem::path& file);
    ~SqliteSink();
    SqliteSink(const SqliteSink&) = delete;
    SqliteSink& operator=(const SqliteSink&) = delete;

    // Creates the table; following insert() calls go into it.
    void beginTable(const std::string& name, const std::vector<ColumnInfo>& columns);
    void insert(const std::vector<Value>& row);
    // Commits, flushes the file to disk and closes it.
    void commit();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace accessimport::jet
