#include "scan/pdf_text.h"

#include "platform/durable_file.h"
#include "platform/program_module.h"
#include "platform/utf8.h"

namespace scan {

std::string AddTextLayers(const std::string& source, const std::string& target,
                          const std::vector<PdfPageText>& pages) {
    using Add =
        std::string (*)(const std::string&, const std::string&, const std::vector<PdfPageText>&);
    static const Add add =
        platform::ModuleFunction<Add>("quillor-pdfwrite", "quillor_add_text_layers");
    if (!add)
        return "缺少程序的PDF组件 quillor-pdfwrite";
    std::string why;
    const std::error_code error = platform::WriteThroughTemporary(
        platform::PathFromUtf8(target), [&](const std::filesystem::path& temporary) {
            why = add(source, platform::PathToUtf8(temporary), pages);
            return why.empty();
        });
    if (error && why.empty())
        why = "无法写入文件";
    return why;
}

} // namespace scan
