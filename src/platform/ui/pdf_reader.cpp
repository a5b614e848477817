#include "platform/ui/pdf_reader.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QStringList>

#include <cstdio>

namespace platform::ui {
namespace {

using InspectFunction = int (*)(const QString&);
using PageFunction = void (*)(const QString&, double, QImage&);

struct Reader {
    InspectFunction inspect = nullptr;
    PageFunction firstPage = nullptr;
};

Reader OpenReader() {
    const QString here = QCoreApplication::applicationDirPath();
    const QString name = QStringLiteral("quillor-pdf");
    QStringList tried;
    for (const QString& folder :
         {here, here + QStringLiteral("/.."), here + QStringLiteral("/../lib/quillor")}) {
        // A loaded library stays in memory after the QLibrary object is gone.
        QLibrary library(folder + QLatin1Char('/') + name);
        if (!library.load()) {
            tried << library.errorString();
            continue;
        }
        Reader reader;
        reader.inspect = reinterpret_cast<InspectFunction>(library.resolve("quillor_pdf_inspect"));
        reader.firstPage =
            reinterpret_cast<PageFunction>(library.resolve("quillor_pdf_first_page"));
        if (reader.inspect && reader.firstPage)
            return reader;
        tried << library.fileName() + QStringLiteral(": not the PDF reader");
    }
    std::fprintf(stderr, "quillor: the PDF reader module cannot be opened: %s\n",
                 qUtf8Printable(tried.join(QStringLiteral("; "))));
    return {};
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
        return PdfState::Unreadable;
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

} // namespace platform::ui
