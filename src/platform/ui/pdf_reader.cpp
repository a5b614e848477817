#include "platform/ui/pdf_reader.h"

#include "platform/program_module.h"

#include <string>

namespace platform::ui {
namespace {

using InspectFunction = int (*)(const QString&);
using PageFunction = void (*)(const QString&, double, QImage&);
using HoldFunction = void* (*)();
using ReleaseFunction = void (*)(void*);

struct Reader {
    InspectFunction inspect = nullptr;
    PageFunction firstPage = nullptr;
    HoldFunction hold = nullptr;
    ReleaseFunction release = nullptr;
};

Reader OpenReader() {
    const std::string module = "quillor-pdf";
    Reader reader;
    reader.inspect = platform::ModuleFunction<InspectFunction>(module, "quillor_pdf_inspect");
    reader.firstPage = platform::ModuleFunction<PageFunction>(module, "quillor_pdf_first_page");
    reader.hold = platform::ModuleFunction<HoldFunction>(module, "quillor_pdf_hold");
    reader.release = platform::ModuleFunction<ReleaseFunction>(module, "quillor_pdf_release");
    return reader.inspect && reader.firstPage && reader.hold && reader.release ? reader : Reader{};
}

// Opened once, on first use.
const Reader& ThePdfReader() {
    static const Reader reader = OpenReader();
    return reader;
}

} // namespace

PdfState InspectPdf(const QString& path) {
    const Reader& reader = ThePdfReader();
    if (!reader.inspect)
        return PdfState::NoReader;
    switch (reader.inspect(path)) {
    case 0:
        return PdfState::Good;
    case 2:
        return PdfState::Locked;
    default:
        return PdfState::Unreadable;
    }
}

QImage FirstPdfPage(const QString& path, double dpi) {
    QImage page;
    if (const Reader& reader = ThePdfReader(); reader.firstPage)
        reader.firstPage(path, dpi, page);
    return page;
}

PdfReaderHold::PdfReaderHold() {
    if (const Reader& reader = ThePdfReader(); reader.hold)
        hold_ = reader.hold();
}

PdfReaderHold::~PdfReaderHold() {
    if (hold_)
        ThePdfReader().release(hold_);
}

} // namespace platform::ui

namespace platform::ui {

bool EachPdfPage(const QString& path, double dpi, const PdfPageVisitor& each) {
    using EachFunction = bool (*)(const QString&, double, const PdfPageVisitor&);
    static const EachFunction function =
        platform::ModuleFunction<EachFunction>("quillor-pdf", "quillor_pdf_each_page");
    return function && function(path, dpi, each);
}

} // namespace platform::ui
