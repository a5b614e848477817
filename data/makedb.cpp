// Builds a template database from SQL files at build time.
//
//   quillor-makedb <output file> <source folder> <sql file>...
//
// The SQL files run in the given order inside one transaction on a new,
// empty database. They can call three functions that read files of the
// source folder (paths relative to it, '/' as separator):
//
//   readfile(path)     the bytes of the file, unchanged;
//   xmltemplate(path)  an XML file kept as UTF-8 in the sources, converted to
//                      the encoding its declaration names (GB2312, GBK, ...);
//   rtfdoc(path)       a plain UTF-8 text turned into an RTF document (below).
//
// The database is written under a temporary name and renamed when complete,
// so a failed run never leaves a half-filled database behind.

#include <sqlite3.h>

#include <iconv.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string NarrowPath(const fs::path& p) {
    const std::u8string s = p.u8string();
    return {s.begin(), s.end()};
}

fs::path PathFromUtf8(const std::string& text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

std::string ReadWholeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + NarrowPath(path));
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// ---------------------------------------------------------------- iconv

struct IconvCloser {
    void operator()(iconv_t cd) const { iconv_close(cd); }
};
using IconvHandle = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

// Converts UTF-8 text to the named encoding; throws when a character has no
// place in it, so a template never silently loses text.
std::string FromUtf8(const std::string& text, const std::string& encoding) {
    iconv_t raw = iconv_open(encoding.c_str(), "UTF-8");
    if (raw == reinterpret_cast<iconv_t>(-1)) {
        throw std::runtime_error("unknown encoding " + encoding);
    }
    IconvHandle cd(raw);
    std::string out(text.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* dst = out.data();
    std::size_t outLeft = out.size();
    if (iconv(cd.get(), &in, &inLeft, &dst, &outLeft) == static_cast<std::size_t>(-1)) {
        const auto offset = static_cast<std::size_t>(in - text.data());
        throw std::runtime_error("text cannot be written in " + encoding + " near byte " +
                                 std::to_string(offset));
    }
    out.resize(out.size() - outLeft);
    return out;
}

// ---------------------------------------------------------------- XML

// The encoding named in the XML declaration; UTF-8 when there is none.
std::string DeclaredEncoding(const std::string& xml) {
    static const std::regex declaration(R"(^<\?xml[^>]*encoding\s*=\s*["']([^"']+)["'])");
    const std::size_t start = xml.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    std::smatch match;
    if (std::regex_search(xml.begin() + static_cast<std::ptrdiff_t>(start), xml.end(), match,
                          declaration)) {
        return match[1].str();
    }
    return "UTF-8";
}

bool IsUtf8Name(std::string name) {
    for (char& c : name) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return name == "UTF-8" || name == "UTF8";
}

std::string EncodeXmlTemplate(const std::string& utf8) {
    const std::string encoding = DeclaredEncoding(utf8);
    return IsUtf8Name(encoding) ? utf8 : FromUtf8(utf8, encoding);
}

// ---------------------------------------------------------------- RTF

// Text markup understood by rtfdoc:
//   "# text"        centred bold title
//   "| a | b | c |" a table row with ruled cells of equal width
//   anything else   a paragraph (an empty line is an empty paragraph)
class RtfWriter {
  public:
    std::string Convert(const std::string& text) {
        out_ = "{\\rtf1\\ansi\\ansicpg936\\deff0\n"
               "{\\fonttbl{\\f0\\fnil\\fcharset134 \\'cb\\'ce\\'cc\\'e5;}}\n" // 宋体
               "\\paperw11906\\paperh16838\\margl1440\\margr1440\\margt1440\\margb1440\n"
               "\\f0\\fs24\n";
        std::istringstream lines(text);
        std::string line;
        while (std::getline(lines, line)) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            WriteLine(line);
        }
        out_ += "}\n";
        return out_;
    }

  private:
    static constexpr int kTextWidth = 9026; // A4 width less two 1-inch margins

    void WriteLine(const std::string& line) {
        if (line.rfind("# ", 0) == 0) {
            out_ += "\\pard\\qc\\sb120\\sa240\\b\\fs36 ";
            WriteText(line.substr(2));
            out_ += "\\b0\\fs24\\par\n";
        } else if (line.rfind("|", 0) == 0) {
            WriteTableRow(SplitCells(line));
        } else {
            out_ += "\\pard\\sa60 ";
            WriteText(line);
            out_ += "\\par\n";
        }
    }

    static std::vector<std::string> SplitCells(const std::string& line) {
        std::vector<std::string> cells;
        std::size_t start = 1;
        for (std::size_t bar = line.find('|', start); bar != std::string::npos;
             bar = line.find('|', start)) {
            cells.push_back(Trim(line.substr(start, bar - start)));
            start = bar + 1;
        }
        return cells;
    }

    static std::string Trim(const std::string& s) {
        const auto first = s.find_first_not_of(' ');
        if (first == std::string::npos) {
            return {};
        }
        return s.substr(first, s.find_last_not_of(' ') - first + 1);
    }

    void WriteTableRow(const std::vector<std::string>& cells) {
        if (cells.empty()) {
            return;
        }
        out_ += "\\trowd\\trgaph108\\trrh480";
        const int width = kTextWidth / static_cast<int>(cells.size());
        for (std::size_t i = 1; i <= cells.size(); ++i) {
            out_ += "\\clvertalc\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10"
                    "\\clbrdrb\\brdrs\\brdrw10\\clbrdrr\\brdrs\\brdrw10\\cellx" +
                    std::to_string(width * static_cast<int>(i));
        }
        out_ += "\n";
        for (const std::string& cell : cells) {
            out_ += "\\pard\\intbl ";
            WriteText(cell);
            out_ += "\\cell\n";
        }
        out_ += "\\row\n";
    }

    // ASCII goes as it is (RTF specials escaped); every other character as
    // its GBK bytes, which the \\ansicpg936 header and the GB2312 charset of
    // the font tell readers to decode.
    void WriteText(const std::string& utf8) {
        const std::string gbk = FromUtf8(utf8, "GBK");
        for (std::size_t i = 0; i < gbk.size(); ++i) {
            const auto byte = static_cast<unsigned char>(gbk[i]);
            if (byte < 0x80) {
                if (byte == '\\' || byte == '{' || byte == '}') {
                    out_ += '\\';
                }
                out_ += gbk[i];
                continue;
            }
            // A double-byte character: its trail byte may look like ASCII.
            WriteHexByte(byte);
            if (i + 1 < gbk.size()) {
                WriteHexByte(static_cast<unsigned char>(gbk[++i]));
            }
        }
    }

    void WriteHexByte(unsigned char byte) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\'%02x", byte);
        out_ += hex;
    }

    std::string out_;
};

// ---------------------------------------------------------------- SQLite

struct SqliteCloser {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using Database = std::unique_ptr<sqlite3, SqliteCloser>;

using FileConverter = std::string (*)(const std::string&);

std::string Unchanged(const std::string& bytes) {
    return bytes;
}
std::string ToRtf(const std::string& text) {
    return RtfWriter().Convert(text);
}

// Shared body of the file functions: the argument is a path relative to the
// source folder; the result is the converted file as a blob.
template <FileConverter convert>
void FileFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
    if (argc != 1 || sqlite3_value_type(argv[0]) != SQLITE_TEXT) {
        sqlite3_result_error(context, "expected one path", -1);
        return;
    }
    const auto* folder = static_cast<const fs::path*>(sqlite3_user_data(context));
    const std::string relative(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])));
    try {
        const std::string bytes = convert(ReadWholeFile(*folder / PathFromUtf8(relative)));
        sqlite3_result_blob64(context, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
    } catch (const std::exception& e) {
        const std::string message = relative + ": " + e.what();
        sqlite3_result_error(context, message.c_str(), -1);
    }
}

void RegisterFunctions(sqlite3* db, const fs::path* sourceFolder) {
    struct Entry {
        const char* name;
        void (*function)(sqlite3_context*, int, sqlite3_value**);
    };
    const Entry entries[] = {{"readfile", FileFunction<Unchanged>},
                             {"xmltemplate", FileFunction<EncodeXmlTemplate>},
                             {"rtfdoc", FileFunction<ToRtf>}};
    for (const Entry& e : entries) {
        sqlite3_create_function_v2(db, e.name, 1, SQLITE_UTF8, const_cast<fs::path*>(sourceFolder),
                                   e.function, nullptr, nullptr, nullptr);
    }
}

void Execute(sqlite3* db, const std::string& sql, const std::string& origin) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = origin + ": " + (error ? error : sqlite3_errmsg(db));
        sqlite3_free(error);
        throw std::runtime_error(message);
    }
}

void BuildDatabase(const fs::path& file, const fs::path& sourceFolder,
                   const std::vector<fs::path>& sqlFiles) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(NarrowPath(file).c_str(), &raw,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    Database db(raw);
    if (rc != SQLITE_OK) {
        throw std::runtime_error("cannot create " + NarrowPath(file));
    }
    RegisterFunctions(db.get(), &sourceFolder);
    Execute(db.get(), "BEGIN", "transaction");
    for (const fs::path& sql : sqlFiles) {
        const fs::path path = sql.is_absolute() ? sql : sourceFolder / sql;
        Execute(db.get(), ReadWholeFile(path), NarrowPath(path));
    }
    Execute(db.get(), "COMMIT", "transaction");
}

int Run(int argc, char** argv) {
    if (argc < 4) {
        std::cerr << "usage: quillor-makedb <output file> <source folder> <sql file>...\n";
        return 2;
    }
    const fs::path output = PathFromUtf8(argv[1]);
    const fs::path sourceFolder = PathFromUtf8(argv[2]);
    std::vector<fs::path> sqlFiles;
    for (int i = 3; i < argc; ++i) {
        sqlFiles.push_back(PathFromUtf8(argv[i]));
    }
    fs::path temporary = output;
    temporary += ".tmp";
    fs::remove(temporary);
    try {
        BuildDatabase(temporary, sourceFolder, sqlFiles);
        fs::rename(temporary, output);
    } catch (const std::exception& e) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        std::cerr << "quillor-makedb: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "quillor-makedb: " << e.what() << "\n";
        return 1;
    }
}
