#include "accessimport/jet/mdb_source.h"

#include "accessimport/jet/jet_text.h"
#include "platform/child_process.h"

// The 1.0.0 header wraps <glib.h> in extern "C"; glib's C++ parts must come first.
#include <glib.h>
#include <mdbtools.h>

#include <charconv>
#include <cstring>
#include <optional>
#include <string>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace accessimport::jet {
namespace {

constexpr int kRowOffsetMask = 0x1FFF;                // row offsets carry flags in the top bits
constexpr std::uint32_t kLongLengthMask = 0x3FFFFFFF; // long-value header: length below the flags
constexpr std::size_t kChunkSize = 64 * 1024; // larger than any page, so one read never truncates
constexpr std::size_t kMaxWarnings = 50;
constexpr const char* kFallbackCodePage = "CP936";

struct MdbCloser {
    void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};
struct TableFreer {
    void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};
struct GFreer {
    void operator()(void* p) const { g_free(p); }
};

std::string Utf8Text(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// libmdb opens files by a narrow name. On Windows that is the machine's code
// page, which cannot hold every character of a wide path: the short (8.3) name
// of the file is used there, which can, and a path that has no such form is
// refused instead of opening some other file.
std::string LibraryPath(const std::filesystem::path& file) {
#ifdef _WIN32
    const std::wstring wide = file.wstring();
    std::wstring shortName(wide.size() + MAX_PATH, L'\0');
    const DWORD length =
        GetShortPathNameW(wide.c_str(), shortName.data(), static_cast<DWORD>(shortName.size()));
    const std::wstring& name =
        length > 0 && length < shortName.size() ? shortName.substr(0, length) : wide;
    BOOL lossy = FALSE;
    const int bytes =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.c_str(),
                            static_cast<int>(name.size()), nullptr, 0, nullptr, &lossy);
    std::string narrow(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.c_str(),
                            static_cast<int>(name.size()), narrow.data(), bytes, nullptr, &lossy);
    if (bytes <= 0 || lossy)
        throw ImportError("Access 文件的路径含有本机代码页无法表示的字符: " + Utf8Text(file));
    return narrow;
#else
    return file.native();
#endif
}

template <typename T> T ReadLittleEndian(const unsigned char* p) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        v |= std::uint64_t(p[i]) << (8 * i);
    return static_cast<T>(v);
}

Affinity AffinityOf(int jetType) {
    switch (jetType) {
    case MDB_BOOL:
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_COMPLEX:
        return Affinity::Integer;
    case MDB_MONEY:
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_NUMERIC:
        return Affinity::Real;
    case MDB_TEXT:
    case MDB_MEMO:
    case MDB_DATETIME:
    case MDB_REPID:
        return Affinity::Text;
    case MDB_OLE:
    case MDB_BINARY:
        return Affinity::Blob;
    default:
        throw ImportError("列类型未知 (" + std::to_string(jetType) + "),文件可能已损坏");
    }
}

// Bytes a fixed-size column needs in a row.
std::size_t FixedSize(int jetType) {
    switch (jetType) {
    case MDB_BYTE:
        return 1;
    case MDB_INT:
        return 2;
    case MDB_LONGINT:
    case MDB_FLOAT:
    case MDB_COMPLEX:
        return 4;
    case MDB_MONEY:
    case MDB_DOUBLE:
    case MDB_DATETIME:
        return 8;
    case MDB_REPID:
        return 16;
    case MDB_NUMERIC:
        return 17;
    default:
        return 0;
    }
}

Value IntegerValue(std::int64_t v) {
    Value value;
    value.kind = Value::Kind::Integer;
    value.integer = v;
    return value;
}
Value RealValue(double v) {
    Value value;
    value.kind = Value::Kind::Real;
    value.real = v;
    return value;
}
Value BytesValue(Value::Kind kind, std::string bytes) {
    Value value;
    value.kind = kind;
    value.bytes = std::move(bytes);
    return value;
}

std::string ChooseCodePage(const MdbHandle& mdb) {
    if (mdb.f->code_page != 0) {
        const std::string named = "CP" + std::to_string(mdb.f->code_page);
        if (CodePageSupported(named))
            return named;
    }
    return kFallbackCodePage;
}

} // namespace

struct MdbSource::Impl {
    std::unique_ptr<MdbHandle, MdbCloser> mdb;
    std::string codePage;
    std::optional<CodePageDecoder> jet3Decoder;
    std::vector<std::string> warnings;
    std::size_t suppressedWarnings = 0;

    void warn(std::string text) {
        if (warnings.size() < kMaxWarnings)
            warnings.push_back(std::move(text));
        else if (++suppressedWarnings == 1)
            warnings.push_back("(其余提示从略)");
    }

    std::string decodeText(const unsigned char* data, std::size_t size, TextIssues& issues) {
        return jet3Decoder ? jet3Decoder->decode(data, size, issues)
                           : DecodeJet4Text(data, size, issues);
    }
};

MdbSource::MdbSource(const std::filesystem::path& file) : impl_(std::make_unique<Impl>()) {
    impl_->mdb.reset(mdb_open(LibraryPath(file).c_str(), MDB_NOFLAGS));
    if (!impl_->mdb)
        throw ImportError("无法打开 Access 文件 " + Utf8Text(file));
    MdbHandle& mdb = *impl_->mdb;
    if (mdb.f->jet_version == MDB_VER_JET3) {
        // Table and column names are converted by libmdb itself: point it at the
        // same code page before the catalogue is read.
        impl_->codePage = ChooseCodePage(mdb);
        platform::SetProcessEnvironment("MDB_JET3_CHARSET", impl_->codePage);
        mdb_iconv_close(&mdb);
        mdb_iconv_init(&mdb);
        impl_->jet3Decoder.emplace(impl_->codePage);
    }
}

MdbSource::~MdbSource() = default;

const std::string& MdbSource::textCodePage() const {
    return impl_->codePage;
}
const std::vector<std::string>& MdbSource::warnings() const {
    return impl_->warnings;
}

std::vector<std::string> MdbSource::userTables() {
    GPtrArray* catalog = mdb_read_catalog(impl_->mdb.get(), MDB_TABLE);
    if (!catalog)
        throw ImportError("无法读取 Access 文件的对象目录,文件可能已损坏");
    std::vector<std::string> names;
    for (guint i = 0; i < catalog->len; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalog, i));
        if (mdb_is_user_table(entry))
            names.emplace_back(entry->object_name);
    }
    return names;
}

struct TableReader::Impl {
    MdbSource::Impl& source;
    std::string name;
    std::unique_ptr<MdbTableDef, TableFreer> table;
    std::vector<MdbColumn*> mdbColumns;
    std::vector<ColumnInfo> columns;
    std::vector<MdbField> fields;
    std::vector<unsigned char> chunk = std::vector<unsigned char>(kChunkSize);
    std::size_t rowsRead = 0;
    bool finished = false;

    MdbHandle& mdb() { return *source.mdb; }

    [[noreturn]] void damaged(const std::string& what) const {
        throw ImportError("表 " + name + " " + what + ",文件可能已损坏");
    }

    void crackCurrentRow() {
        int start = 0;
        size_t size = 0;
        if (table->cur_row == 0 || mdb_find_row(&mdb(), table->cur_row - 1, &start, &size) != 0)
            damaged("第 " + std::to_string(rowsRead + 1) + " 行无法定位");
        start &= kRowOffsetMask;
        if (mdb_crack_row(table.get(), start, size, fields.data()) < 0)
            damaged("第 " + std::to_string(rowsRead + 1) + " 行无法解析");
    }

    const unsigned char* fieldBytes(const MdbField& field, std::size_t need) {
        const auto pageSize = static_cast<std::size_t>(mdb().fmt->pg_size);
        if (field.start < 0 || field.siz < 0 || static_cast<std::size_t>(field.siz) < need ||
            static_cast<std::size_t>(field.start) + field.siz > pageSize)
            damaged("第 " + std::to_string(rowsRead + 1) + " 行的值超出数据页");
        return mdb().pg_buf + field.start;
    }

    // Memo and long binary: a 12-byte header (length and flags, then where the
    // data lies) followed by the data inline or on separate pages. The pieces
    // are read one by one and must add up to the length in the header.
    std::string readLongValue(MdbColumn& col, const MdbField& field) {
        if (field.siz == 0)
            return {};
        const unsigned char* header = fieldBytes(field, MDB_MEMO_OVERHEAD);
        const std::size_t declared = ReadLittleEndian<std::uint32_t>(header) & kLongLengthMask;
        if (declared == 0)
            return {};
        unsigned char headerCopy[MDB_MEMO_OVERHEAD];
        std::memcpy(headerCopy, header, sizeof headerCopy);
        col.cur_value_start = field.start;
        col.cur_value_len = field.siz;
        col.bind_ptr = chunk.data();
        std::string data;
        std::size_t piece = mdb_ole_read(&mdb(), &col, headerCopy, chunk.size());
        while (piece > 0 && data.size() + piece <= declared) {
            data.append(reinterpret_cast<const char*>(chunk.data()), piece);
            if (data.size() == declared)
                break;
            piece = mdb_ole_read_next(&mdb(), &col, headerCopy);
        }
        col.bind_ptr = nullptr;
        if (data.size() != declared)
            damaged("列 " + std::string(col.name) + " 第 " + std::to_string(rowsRead + 1) +
                    " 行的长数据长度(" + std::to_string(data.size()) + ")与其头部记录(" +
                    std::to_string(declared) + ")不符");
        return data;
    }

    std::string text(const MdbColumn& col, const unsigned char* data, std::size_t size) {
        TextIssues issues;
        std::string result = source.decodeText(data, size, issues);
        const std::string where =
            name + "." + col.name + " 第 " + std::to_string(rowsRead + 1) + " 行";
        if (issues.supplementary > 0)
            source.warn(where + " 含 " + std::to_string(issues.supplementary) +
                        " 个基本多文种平面以外的字符(已按原字保存)");
        if (issues.replaced > 0)
            source.warn(where + " 有 " + std::to_string(issues.replaced) +
                        " 处无法转换的字符(已存为替代字符)");
        return result;
    }

    Value convert(MdbColumn& col, const MdbField& field) {
        if (col.col_type == MDB_BOOL) // the value lives in the null mask
            return IntegerValue(field.is_null ? 0 : -1);
        if (field.is_null)
            return {};
        const unsigned char* p = fieldBytes(field, FixedSize(col.col_type));
        switch (col.col_type) {
        case MDB_BYTE:
            return IntegerValue(p[0]);
        case MDB_INT:
            return IntegerValue(ReadLittleEndian<std::int16_t>(p));
        case MDB_LONGINT:
        case MDB_COMPLEX:
            return IntegerValue(ReadLittleEndian<std::int32_t>(p));
        case MDB_MONEY:
            return RealValue(CurrencyToReal(ReadLittleEndian<std::int64_t>(p)));
        case MDB_FLOAT:
            return RealValue(SingleToReal(mdb_get_single(mdb().pg_buf, field.start)));
        case MDB_DOUBLE:
            return RealValue(mdb_get_double(mdb().pg_buf, field.start));
        case MDB_NUMERIC:
            return RealValue(numeric(col, field));
        case MDB_DATETIME:
            return BytesValue(Value::Kind::Text, date(col, field));
        case MDB_REPID: {
            std::unique_ptr<char, GFreer> uuid(mdb_uuid_to_string(mdb().pg_buf, field.start));
            return BytesValue(Value::Kind::Text, uuid ? uuid.get() : "");
        }
        case MDB_TEXT:
            return BytesValue(Value::Kind::Text, text(col, p, field.siz));
        case MDB_MEMO: {
            const std::string raw = readLongValue(col, field);
            return BytesValue(
                Value::Kind::Text,
                text(col, reinterpret_cast<const unsigned char*>(raw.data()), raw.size()));
        }
        case MDB_OLE:
            return BytesValue(Value::Kind::Blob, readLongValue(col, field));
        case MDB_BINARY:
            return BytesValue(Value::Kind::Blob,
                              std::string(reinterpret_cast<const char*>(p), field.siz));
        default:
            damaged("列 " + std::string(col.name) + " 的类型无法读取");
        }
    }

    double numeric(const MdbColumn& col, const MdbField& field) {
        std::unique_ptr<char, GFreer> textForm(
            mdb_numeric_to_string(&mdb(), field.start, col.col_scale, col.col_prec));
        double value = 0;
        const char* s = textForm ? textForm.get() : "";
        const auto [end, ec] = std::from_chars(s, s + std::strlen(s), value);
        if (ec != std::errc() || *end != '\0')
            damaged("列 " + std::string(col.name) + " 的数值无法读取");
        return value;
    }

    std::string date(const MdbColumn& col, const MdbField& field) {
        auto formatted = FormatJetDate(mdb_get_double(mdb().pg_buf, field.start));
        if (!formatted)
            damaged("列 " + std::string(col.name) + " 第 " + std::to_string(rowsRead + 1) +
                    " 行的日期超出范围");
        return *formatted;
    }
};

TableReader::TableReader(MdbSource& source, const std::string& name)
    : impl_(std::make_unique<Impl>(Impl{*source.impl_, name, {}, {}, {}, {}})) {
    MdbHandle& mdb = *source.impl_->mdb;
    MdbCatalogEntry* entry = mdb_get_catalogentry_by_name(&mdb, name.c_str());
    if (entry)
        impl_->table.reset(mdb_read_table(entry));
    if (!impl_->table || !mdb_read_columns(impl_->table.get()))
        impl_->damaged("的定义无法读取");
    MdbTableDef& table = *impl_->table;
    for (guint i = 0; i < table.num_cols; ++i) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table.columns, i));
        impl_->mdbColumns.push_back(col);
        impl_->columns.push_back({col->name, AffinityOf(col->col_type)});
    }
    impl_->fields.resize(std::max<std::size_t>(table.num_cols, MDB_MAX_COLS));
    mdb_rewind_table(&table);
}

TableReader::~TableReader() = default;

const std::vector<ColumnInfo>& TableReader::columns() const {
    return impl_->columns;
}
std::size_t TableReader::declaredRows() const {
    return impl_->table->num_rows;
}

bool TableReader::next(std::vector<Value>& row) {
    Impl& d = *impl_;
    if (d.finished || !mdb_fetch_row(d.table.get())) {
        d.finished = true;
        if (d.rowsRead != declaredRows())
            d.damaged("读出 " + std::to_string(d.rowsRead) + " 行,而表定义记录为 " +
                      std::to_string(declaredRows()) + " 行");
        return false;
    }
    if (d.rowsRead == declaredRows())
        d.damaged("的行数超过表定义记录的 " + std::to_string(declaredRows()) + " 行");
    d.crackCurrentRow();
    row.assign(d.mdbColumns.size(), Value{});
    for (std::size_t i = 0; i < d.mdbColumns.size(); ++i) {
        const MdbField& field = d.fields[i];
        if (field.colnum < 0 || static_cast<std::size_t>(field.colnum) >= d.mdbColumns.size())
            d.damaged("第 " + std::to_string(d.rowsRead + 1) + " 行的列号无效");
        row[field.colnum] = d.convert(*d.mdbColumns[field.colnum], field);
    }
    ++d.rowsRead;
    return true;
}

} // namespace accessimport::jet
