#include "accessimport/jet/import_mdb.h"

#include "accessimport/jet/mdb_source.h"
#include "accessimport/jet/sqlite_sink.h"

namespace accessimport::jet {

ImportSummary ImportMdb(const std::filesystem::path& in, const std::filesystem::path& out) {
    MdbSource source(in);
    SqliteSink sink(out);
    ImportSummary summary;
    summary.codePage = source.textCodePage();
    std::vector<Value> row;
    for (const std::string& name : source.userTables()) {
        TableReader reader(source, name);
        sink.beginTable(name, reader.columns());
        ImportedTable imported{name, 0};
        while (reader.next(row)) {
            sink.insert(row);
            ++imported.rows;
        }
        summary.tables.push_back(imported);
    }
    if (summary.tables.empty())
        throw ImportError("Access 文件中没有数据表");
    sink.commit();
    summary.warnings = source.warnings();
    return summary;
}

std::string FormatSummary(const ImportSummary& summary) {
    std::size_t rows = 0;
    for (const auto& table : summary.tables)
        rows += table.rows;
    std::string text = "已导入 " + std::to_string(summary.tables.size()) + " 个表,共 " +
                       std::to_string(rows) + " 行";
    if (!summary.codePage.empty())
        text += "(Jet 3 文本按代码页 " + summary.codePage + " 读取)";
    text += "\n";
    for (const auto& table : summary.tables)
        text += "  " + table.name + ": " + std::to_string(table.rows) + " 行\n";
    for (const auto& warning : summary.warnings)
        text += "注意: " + warning + "\n";
    return text;
}

} // namespace accessimport::jet
