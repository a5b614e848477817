#pragma once
// Copies every user table of a Jet (Access) file into a new SQLite file with the
// same table and column names.

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace accessimport::jet {

struct ImportedTable {
    std::string name;
    std::size_t rows = 0;
};

struct ImportSummary {
    std::vector<ImportedTable> tables;
    std::string codePage; // Jet 3 only: the code page the text was read in
    std::vector<std::string> warnings;
};

// Throws ImportError on any failure; `out` then does not exist.
ImportSummary ImportMdb(const std::filesystem::path& in, const std::filesystem::path& out);

// The summary as printed by the importer program.
std::string FormatSummary(const ImportSummary& summary);

} // namespace accessimport::jet
