// Speed of the Access/Jet import against mdb-export of all tables of the same
// file, in the same run. Both read the file with libmdb; the goal is at most
// twice the time of the export.
//   jet_import_bench [FILE.mdb [ROUNDS]]   (default: the template fixture, 50 rounds)
// Measures the library work in this process (import into SQLite against an
// export loop like mdb-export's that writes CSV text to the null device) and,
// where a shell is available, the programs quillor-import-mdb and mdb-export.
// Exits 1 when the import takes more than twice as long.

#include "accessimport/jet/import_mdb.h"

#include <glib.h>
#include <mdbtools.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kExportBindSize = 200000; // what mdb-export binds
constexpr double kGoal = 2.0;

double SecondsFor(int rounds, const std::function<void()>& work) {
    const auto start = Clock::now();
    for (int i = 0; i < rounds; ++i)
        work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void ImportOnce(const fs::path& in, const fs::path& out) {
    fs::remove(out);
    accessimport::jet::ImportMdb(in, out);
}

void ExportTable(MdbHandle* mdb, MdbCatalogEntry* entry, FILE* sink) {
    std::unique_ptr<MdbTableDef, void (*)(MdbTableDef*)> table(mdb_read_table(entry),
                                                               mdb_free_tabledef);
    if (!table)
        return;
    mdb_read_columns(table.get());
    mdb_rewind_table(table.get());
    const unsigned columns = table->num_cols;
    std::vector<std::vector<char>> values(columns, std::vector<char>(kExportBindSize));
    std::vector<int> lengths(columns);
    for (unsigned i = 0; i < columns; ++i)
        mdb_bind_column(table.get(), static_cast<int>(i + 1), values[i].data(), &lengths[i]);
    while (mdb_fetch_row(table.get())) {
        for (unsigned i = 0; i < columns; ++i) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
            if (i > 0)
                std::fputc(',', sink);
            if (!lengths[i])
                continue;
            if (col->col_type == MDB_OLE) {
                size_t size = 0;
                void* blob = mdb_ole_read_full(mdb, col, &size);
                mdb_print_col(sink, static_cast<gchar*>(blob), 1, col->col_type,
                              static_cast<int>(size), const_cast<char*>("\""), nullptr,
                              MDB_BINEXPORT_RAW);
                std::free(blob);
            } else {
                mdb_print_col(sink, values[i].data(), 1, col->col_type, lengths[i],
                              const_cast<char*>("\""), nullptr, MDB_BINEXPORT_RAW);
            }
        }
        std::fputc('\n', sink);
    }
}

void ExportOnce(const fs::path& in, FILE* sink) {
    std::unique_ptr<MdbHandle, void (*)(MdbHandle*)> mdb(mdb_open(in.string().c_str(), MDB_NOFLAGS),
                                                         mdb_close);
    if (!mdb)
        return;
    mdb_set_bind_size(mdb.get(), kExportBindSize);
    GPtrArray* catalog = mdb_read_catalog(mdb.get(), MDB_TABLE);
    for (guint i = 0; catalog && i < catalog->len; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalog, i));
        if (mdb_is_user_table(entry))
            ExportTable(mdb.get(), entry, sink);
    }
}

std::string Quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

#if defined(__unix__)
// The same comparison between the programs, each started once per round
// (mdb-export once per table, as a user exporting every table would).
void ComparePrograms(const fs::path& in, const fs::path& out, int rounds) {
    const fs::path importer = fs::path(QUILLOR_IMPORTER);
    if (!fs::exists(importer) || std::system("command -v mdb-export >/dev/null 2>&1") != 0)
        return;
    const std::string importCommand = "rm -f " + Quoted(out) + " && " + Quoted(importer) + " " +
                                      Quoted(in) + " " + Quoted(out) + " >/dev/null";
    const std::string exportCommand = "mdb-tables -1 " + Quoted(in) +
                                      " | while IFS= read -r t; do mdb-export " + Quoted(in) +
                                      " \"$t\"; done >/dev/null";
    const double importSeconds =
        SecondsFor(rounds, [&] { (void)std::system(importCommand.c_str()); });
    const double exportSeconds =
        SecondsFor(rounds, [&] { (void)std::system(exportCommand.c_str()); });
    std::printf(
        "programs: quillor-import-mdb %.2f ms, mdb-tables + mdb-export %.2f ms, ratio %.2f\n",
        1000 * importSeconds / rounds, 1000 * exportSeconds / rounds,
        importSeconds / exportSeconds);
    fs::remove(out);
}
#endif

} // namespace

int main(int argc, char** argv) {
    const fs::path in = argc > 1 ? fs::path(argv[1]) : fs::path(QUILLOR_JET_FIXTURE);
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 50;
    const fs::path out = fs::temp_directory_path() / "jet_import_bench.sqlite";
    FILE* sink = std::fopen("/dev/null", "w");
    if (!sink || rounds < 1) {
        std::fputs("usage: jet_import_bench [FILE.mdb [ROUNDS]]\n", stderr);
        return 2;
    }
    ImportOnce(in, out); // warm the file cache; throws on an unreadable file
    ExportOnce(in, sink);
    const double importSeconds = SecondsFor(rounds, [&] { ImportOnce(in, out); });
    const double exportSeconds = SecondsFor(rounds, [&] { ExportOnce(in, sink); });
    std::fclose(sink);
    fs::remove(out);
    const double ratio = importSeconds / exportSeconds;
    std::printf("%s, %d rounds\n", in.string().c_str(), rounds);
    std::printf("library: import %.2f ms, export %.2f ms, ratio %.2f (goal <= %.1f)\n",
                1000 * importSeconds / rounds, 1000 * exportSeconds / rounds, ratio, kGoal);
#if defined(__unix__)
    ComparePrograms(in, out, rounds);
#endif
    return ratio <= kGoal ? 0 : 1;
}
