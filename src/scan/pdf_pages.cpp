#include "scan/pdf_pages.h"

#include "platform/program_module.h"

namespace scan {

std::string WritePdf(const std::vector<PdfPage>& pages, const std::string& path) {
    using Write = std::string (*)(const std::vector<PdfPage>&, const std::string&);
    static const Write write =
        platform::ModuleFunction<Write>("quillor-pdfwrite", "quillor_write_pdf");
    if (!write)
        return "缺少程序的PDF组件 quillor-pdfwrite";
    return write(pages, path);
}

} // namespace scan
