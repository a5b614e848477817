// The ToUnicode maps of a printed PDF rewritten in place, with qpdf in the
// module quillor-pdfwrite (twip/pdf_tounicode.cpp calls it through
// platform/program_module.h).

#define POINTERHOLDER_TRANSITION 4 // std::shared_ptr throughout, as qpdf 11 wants

#include "platform/program_module.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFWriter.hh>

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <system_error>

// Each ToUnicode map of the file goes through `rewrite` (the text of a CMap to
// its new text); when maps change, the file with them is written to `output`
// (the caller puts it in place). Returns their number; throws std::exception
// when the file cannot be read or written, leaving `pdf` as it was.
extern "C" QUILLOR_MODULE_EXPORT int
quillor_rewrite_tounicode_maps(const std::filesystem::path& pdf,
                               const std::filesystem::path& output,
                               const std::function<std::string(const std::string&)>& rewrite) {
    QPDF document;
    document.processFile(pdf.string().c_str());
    int changed = 0;
    std::set<QPDFObjGen> seen;
    for (QPDFObjectHandle object : document.getAllObjects()) {
        if (!object.isDictionary() || !object.getKey("/Type").isNameAndEquals("/Font"))
            continue;
        QPDFObjectHandle map = object.getKey("/ToUnicode");
        if (!map.isStream() || !seen.insert(map.getObjGen()).second)
            continue;
        const std::shared_ptr<Buffer> data = map.getStreamData(qpdf_dl_generalized);
        const std::string cmap(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
        const std::string rewritten = rewrite(cmap);
        if (rewritten == cmap)
            continue;
        map.replaceStreamData(rewritten, QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
        ++changed;
    }
    if (changed == 0)
        return 0;
    try {
        // The writer keeps the file name's pointer until write() ends.
        const std::string outputName = output.string();
        QPDFWriter writer(document, outputName.c_str());
        writer.write();
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove(output, ignored);
        throw;
    }
    return changed;
}
