#include "util/template_docs.h"

#include "platform/db.h"
#include "platform/prompter.h"
#include "startup/mainbas.h"
#include "util/convert.h"
#include "util/frmutil.h"
#include "util/utf8.h"

#include <exception>

namespace util {
namespace {

bool ExtractColumn(const char* column, const std::string& path, platform::db::CursorType cursor,
                   platform::db::LockType lock) {
    platform::db::Recordset rs;
    rs.Open(SelectedItemQuery(), *TemplateConnection, cursor, lock);
    if (rs.Eof()) {
        rs.Close();
        return false;
    }
    platform::db::BinaryStream stream;
    stream.Open();
    stream.Write(rs.Fields(column).GetValue());
    stream.SaveToFile(PathFromUtf8(path), true);
    stream.Close();
    rs.Close();
    return true;
}

} // namespace

bool ExtractXmlTemplate(const std::string& path) {
    return ExtractColumn("XML模板", path, platform::db::CursorType::ForwardOnly,
                         platform::db::LockType::ReadOnly);
}

bool ExtractDocTemplate(const std::string& path) {
    return ExtractColumn("DOC模板", path, platform::db::CursorType::Keyset,
                         platform::db::LockType::Optimistic);
}

std::int16_t ReadSizeLimit() {
    std::int16_t limit = kDefaultSizeLimitMb;
    platform::db::Recordset rs;
    rs.Open(SelectedItemQuery(), *TemplateConnection);
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
