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

// The selected item's row, only the given expression.
std::string ItemColumnQuery(const std::string& expression) {
    const std::string all = SelectedItemQuery();
    const std::string from = all.substr(all.find(" from "));
    return "select " + expression + from;
}

bool ExtractColumn(const char* column, std::uint64_t limit, const std::string& path) {
    // The length first: a template database is untrusted, and a value far
    // beyond what the program can use is never read into memory.
    platform::db::Recordset length;
    length.Open(ItemColumnQuery(std::string("length(") + column + ")"), TemplateDatabase(),
                platform::db::CursorType::ForwardOnly, platform::db::LockType::ReadOnly);
    if (length.Eof())
        return false;
    const std::optional<double> bytes = length.Fields(0).GetValue().toNumber();
    length.Close();
    if (bytes && *bytes > double(limit)) {
        platform::Notify(std::string("模板数据库中本事项的") + column + "有" +
                             std::to_string(std::uint64_t(*bytes + (1 << 20) - 1) >> 20) +
                             "M，超过" + std::to_string(limit >> 20) +
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
    stream.SaveToFile(PathFromUtf8(path), true);
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
