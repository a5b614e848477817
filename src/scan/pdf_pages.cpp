#include "scan/pdf_pages.h"

#include "platform/durable_file.h"
#include "platform/program_module.h"
#include "platform/utf8.h"

namespace scan {

std::string WritePdf(const std::vector<PdfPage>& pages, const std::string& path) {
    using Write = std::string (*)(const std::vector<PdfPage>&, const std::string&);
    static const Write write =
        platform::ModuleFunction<Write>("quillor-pdfwrite", "quillor_write_pdf");
    if (!write)
        return "缺少程序的PDF组件 quillor-pdfwrite";
    std::string why;
    const std::error_code error = platform::WriteThroughTemporary(
        platform::PathFromUtf8(path), [&](const std::filesystem::path& temporary) {
            why = write(pages, platform::PathToUtf8(temporary));
            return why.empty();
        });
    if (error && why.empty())
        why = "无法写入文件";
    return why;
}

} // namespace scan
