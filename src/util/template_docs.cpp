#include "util/template_docs.h"

#include "platform/db.h"
#include "platform/prompter.h"
#include "platform/utf8.h"
#include "util/convert.h"
#include "util/frmutil.h"
#include "util/template_db.h"

#include <exception>
#include <optional>

namespace util {
namespace {

// An item's row holds both documents and the applicant's entries; it must stay
// readable and writable within the database's length limit.
static_assert(kMaxXmlTemplateBytes + kMaxDocTemplateBytes + (std::uint64_t{8} << 20) <=
              std::uint64_t{platform::db::kMaxLengthBytes});

// The selected item's row, only the given expression.
std::string ItemColumnQuery(const std::string& expression) {
    const std::string all = SelectedItemQuery();
    const std::string from = all.substr(all.find(" from "));
    return "select " + expression + from;
}

bool ExtractColumn(const char* column, std::uint64_t limit, const std::string& path) {
    // The size first: a template database is untrusted, and a value far
    // beyond what the program can use is never read into memory. Counted in
    // bytes: length() of a TEXT value counts characters up to its first NUL.
    // A value beyond the database's own length limit is refused by SQLite
    // before it is read.
    std::optional<double> bytes;
    bool tooBig = false;
    try {
        platform::db::Recordset length;
        length.Open(ItemColumnQuery(std::string("length(cast(") + column + " as blob))"),
                    TemplateDatabase(), platform::db::CursorType::ForwardOnly,
                    platform::db::LockType::ReadOnly);
        if (length.Eof())
            return false;
        bytes = length.Fields(0).GetValue().toNumber();
    } catch (const platform::db::DbTooBig&) {
        tooBig = true;
    }
    if (tooBig || (bytes && *bytes > double(limit))) {
        const std::string size =
            tooBig ? std::string()
                   : "有" + std::to_string(std::uint64_t(*bytes + (1 << 20) - 1) >> 20) + "M，";
        platform::Notify(std::string("模板数据库中本事项的") + column + size + "超过" +
                             std::to_string(limit >> 20) +
                             "M的上限，无法使用。请向审批机关索取完好的模板数据库。",
                         "提示", platform::MsgIcon::Exclamation);
        return false;
    }
    platform::db::Recordset rs;
    rs.Open(ItemColumnQuery(column), TemplateDatabase(), platform::db::CursorType::ForwardOnly,
            platform::db::LockType::ReadOnly);
    if (rs.Eof()) {
        rs.Close();
        return false;
    }
    platform::db::BinaryStream stream;
    stream.Open();
    stream.Write(rs.Fields(0).GetValue());
    stream.SaveToFile(platform::PathFromUtf8(path), true);
    stream.Close();
    rs.Close();
    return true;
}

} // namespace

bool ExtractXmlTemplate(const std::string& path) {
    return ExtractColumn("XML模板", kMaxXmlTemplateBytes, path);
}

bool ExtractDocTemplate(const std::string& path) {
    return ExtractColumn("DOC模板", kMaxDocTemplateBytes, path);
}

std::int16_t ReadSizeLimit() {
    std::int16_t limit = kDefaultSizeLimitMb;
    platform::db::Recordset rs;
    rs.Open(SelectedItemQuery(), TemplateDatabase());
    if (HasField("文件大小", rs) && !rs.Eof()) {
        const double value = LeadingNumber(FieldText(rs.Fields("文件大小")));
        if (value != 0)
            limit = RoundToInt16(value);
    }
    rs.Close();
    return limit;
}

bool DownloadDocTemplate(const std::string& proposedName) {
    platform::Prompter& prompter = platform::CurrentPrompter();
    try {
        platform::FileDialogRequest request;
        request.filter = "报盘模板文件(*.DOC)|*.DOC";
        request.proposedName = proposedName;
        const auto chosen = prompter.saveFile(request);
        if (!chosen)
            return false;
        if (FileExists(*chosen) &&
            prompter.message("文件已经存在,是否覆盖?", "提示", platform::MsgIcon::Question,
                             platform::MsgButtons::YesNo) != platform::MsgAnswer::Yes)
            return false;
        if (!ExtractDocTemplate(*chosen))
            return false;
        prompter.message("下载DOC模板文件成功...", "提示", platform::MsgIcon::Information,
                         platform::MsgButtons::Ok);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace util
