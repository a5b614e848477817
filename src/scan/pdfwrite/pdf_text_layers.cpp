// Text layers added to an existing PDF (scan/pdf_text.h), with qpdf in the
// module quillor-pdfwrite.

// qpdf without its old PointerHolder interface.
#define POINTERHOLDER_TRANSITION 4

#include "platform/program_module.h"
#include "platform/utf8.h"
#include "scan/pdf_text.h"
#include "scan/pdfwrite/text_font.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <charconv>
#include <filesystem>
#include <new>
#include <optional>
#include <system_error>

namespace scan::pdfwrite {
namespace {

// Room for any double in fixed notation (the largest has 309 digits before
// the point).
constexpr std::size_t kNumberChars = 400;

std::string Number(double v) {
    char text[kNumberChars];
    return std::string(text,
                       std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, 4).ptr);
}

double Value(QPDFObjectHandle h) {
    return h.isNumber() ? h.getNumericValue() : 0;
}

// A font resource name the page does not use yet.
std::string FreeName(QPDFObjectHandle fonts) {
    for (int i = 0;; ++i) {
        const std::string name = i ? "/QText" + std::to_string(i) : "/QText";
        if (!fonts.hasKey(name))
            return name;
    }
}

// The page as shown: its crop box turned by /Rotate, and the matrix that
// takes the shown page (origin at its lower left) into the page's space.
struct ShownPage {
    double width = 0;
    double height = 0;
    std::string toPage;
};

// Null when the page has no usable crop box.
std::optional<ShownPage> Shown(QPDFPageObjectHelper& page) {
    QPDFObjectHandle box = page.getCropBox(false, false);
    if (!box.isArray() || box.getArrayNItems() != 4)
        return std::nullopt;
    double x0 = Value(box.getArrayItem(0)), y0 = Value(box.getArrayItem(1));
    double x1 = Value(box.getArrayItem(2)), y1 = Value(box.getArrayItem(3));
    if (x0 > x1)
        std::swap(x0, x1);
    if (y0 > y1)
        std::swap(y0, y1);
    const double w = x1 - x0, h = y1 - y0;
    QPDFObjectHandle rotate = page.getAttribute("/Rotate", false);
    const int turn =
        rotate.isInteger() ? static_cast<int>(((rotate.getIntValue() % 360) + 360) % 360) : 0;
    const bool sideways = turn == 90 || turn == 270;
    ShownPage shown{sideways ? h : w, sideways ? w : h, {}};
    std::string& m = shown.toPage;
    switch (turn) {
    case 90:
        m = "0 1 -1 0 " + Number(x0 + w) + " " + Number(y0);
        break;
    case 180:
        m = "-1 0 0 -1 " + Number(x0 + w) + " " + Number(y0 + h);
        break;
    case 270:
        m = "0 -1 1 0 " + Number(x0) + " " + Number(y0 + h);
        break;
    default:
        m = "1 0 0 1 " + Number(x0) + " " + Number(y0);
    }
    return shown;
}

// Puts `font` among the page's font resources under a name the page does not
// use yet, and returns that name. Font resources shared with other pages are
// copied first, so theirs stay as they are.
std::string AddFont(QPDFPageObjectHelper& page, const QPDFObjectHandle& font) {
    QPDFObjectHandle resources = page.getAttribute("/Resources", true);
    if (!resources.isDictionary()) {
        resources = QPDFObjectHandle::newDictionary();
        page.getObjectHandle().replaceKey("/Resources", resources);
    }
    QPDFObjectHandle fonts = resources.getKey("/Font");
    if (!fonts.isDictionary()) {
        fonts = QPDFObjectHandle::newDictionary();
        resources.replaceKey("/Font", fonts);
    } else if (fonts.isIndirect()) {
        fonts = fonts.shallowCopy(); // another page's fonts stay as they are
        resources.replaceKey("/Font", fonts);
    }
    const std::string name = FreeName(fonts);
    fonts.replaceKey(name, font);
    return name;
}

} // namespace
} // namespace scan::pdfwrite

using namespace scan;
using namespace scan::pdfwrite;

extern "C" QUILLOR_MODULE_EXPORT std::string
quillor_add_text_layers(const std::string& source, const std::string& target,
                        const std::vector<PdfPageText>& layers) {
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(source.c_str());
        std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
        std::optional<QPDFObjectHandle> font; // made for the first page given text
        for (const PdfPageText& layer : layers) {
            if (layer.page < 0 || static_cast<std::size_t>(layer.page) >= pages.size() ||
                !layer.text || layer.text->empty())
                continue;
            QPDFPageObjectHelper& page = pages[static_cast<std::size_t>(layer.page)];
            if (!font) {
                font = TextFont(pdf);
                if (font->isNull())
                    return "未找到文字识别的字体文件（软件包 libtesseract5）";
            }
            const std::optional<ShownPage> shown = Shown(page);
            if (!shown)
                continue;
            const std::string name = AddFont(page, *font);
            // The page's own drawing closed in q ... Q, so that whatever state
            // it leaves cannot move the layer.
            page.addPageContents(pdf.newStream(std::string("q\n")), true);
            page.addPageContents(
                pdf.newStream("Q\nq " + shown->toPage + " cm\n" +
                              TextLayerContent(*layer.text, shown->width, shown->height, name) +
                              "Q\n"),
                false);
        }
        QPDFWriter writer(pdf, target.c_str());
        writer.setStreamDataMode(qpdf_s_preserve);
        writer.setObjectStreamMode(qpdf_o_preserve);
        writer.write();
        return {};
    } catch (const std::bad_alloc&) {
        return "内存不足，无法写入PDF文件";
    } catch (const std::exception&) {
        // qpdf's own (English) text is not for the applicant.
        return "该PDF文件已损坏或无法写入";
    }
}
