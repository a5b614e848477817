#include "twip/pdf_tounicode.h"

#include "platform/durable_file.h"

#include "platform/program_module.h"

namespace twip {

std::string RewriteToUnicodeCMap(const std::string& cmap, const CodePointPreference& prefer) {
    using Rewrite = std::string (*)(const std::string&, const CodePointPreference&);
    static const Rewrite rewrite =
        platform::ModuleFunction<Rewrite>("quillor-pdfwrite", "quillor_rewrite_tounicode_cmap");
    return rewrite ? rewrite(cmap, prefer) : cmap;
}

int RewriteToUnicodeMaps(const std::filesystem::path& pdf, const CodePointPreference& prefer) {
    using CMapRewrite = std::function<std::string(const std::string&)>;
    using Rewrite =
        int (*)(const std::filesystem::path&, const std::filesystem::path&, const CMapRewrite&);
    static const Rewrite rewrite =
        platform::ModuleFunction<Rewrite>("quillor-pdfwrite", "quillor_rewrite_tounicode_maps");
    if (!rewrite)
        return kNoPdfWriter;
    // Written beside the file and put in its place once it is on the disk.
    const std::filesystem::path temporary = platform::TemporaryBeside(pdf);
    const int changed = rewrite(pdf, temporary, [&prefer](const std::string& cmap) {
        return RewriteToUnicodeCMap(cmap, prefer);
    });
    if (changed > 0) {
        if (const std::error_code error = platform::CommitTemporary(temporary, pdf))
            throw std::filesystem::filesystem_error("无法写入PDF文件", pdf, error);
    }
    return changed;
}

} // namespace twip
