// The PDF of scanned pages, written with qpdf in the module quillor-pdfwrite
// (scan/pdf_pages.cpp calls it through platform/program_module.h).

// qpdf without its old PointerHolder interface.
#define POINTERHOLDER_TRANSITION 4

#include "scan/pdf_pages.h"
#include "platform/program_module.h"
#include "platform/utf8.h"
#include "scan/pdfwrite/text_font.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
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
    std::string t(text,
                  std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, 4).ptr);
    while (!t.empty() && t.back() == '0')
        t.pop_back();
    if (!t.empty() && t.back() == '.')
        t.pop_back();
    return t;
}

// The image's own bytes, not copied: qpdf only reads them, and the pages
// (holding the images) outlive the writing.
std::shared_ptr<Buffer> ToBuffer(const std::vector<std::uint8_t>& data) {
    return std::make_shared<Buffer>(const_cast<unsigned char*>(data.data()), data.size());
}

QPDFObjectHandle Integer(long long v) {
    return QPDFObjectHandle::newInteger(v);
}

QPDFObjectHandle ImageObject(QPDF& pdf, const PdfImage& image) {
    QPDFObjectHandle dict = QPDFObjectHandle::newDictionary();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    dict.replaceKey("/Width", Integer(image.width));
    dict.replaceKey("/Height", Integer(image.height));
    dict.replaceKey("/BitsPerComponent", Integer(image.bitsPerComponent));
    if (!image.palette.empty()) {
        const std::string table(image.palette.begin(), image.palette.end());
        QPDFObjectHandle indexed = QPDFObjectHandle::newArray();
        indexed.appendItem(QPDFObjectHandle::newName("/Indexed"));
        indexed.appendItem(QPDFObjectHandle::newName("/DeviceRGB"));
        indexed.appendItem(Integer(static_cast<long long>(image.palette.size() / 3) - 1));
        indexed.appendItem(QPDFObjectHandle::newString(table));
        dict.replaceKey("/ColorSpace", indexed);
    } else {
        const char* space = image.components == 1   ? "/DeviceGray"
                            : image.components == 4 ? "/DeviceCMYK"
                                                    : "/DeviceRGB";
        dict.replaceKey("/ColorSpace", QPDFObjectHandle::newName(space));
    }
    if (image.bitsPerComponent == 1 && image.blackIsOne && image.coding != PdfImage::Coding::Ccitt)
        dict.replaceKey("/Decode", QPDFObjectHandle::parse("[1 0]"));
    if (image.components == 4 && image.adobeInverted)
        dict.replaceKey("/Decode", QPDFObjectHandle::parse("[1 0 1 0 1 0 1 0]"));
    QPDFObjectHandle stream = pdf.newStream();
    stream.replaceDict(dict);
    QPDFObjectHandle filter = QPDFObjectHandle::newNull(), parms = QPDFObjectHandle::newNull();
    switch (image.coding) {
    case PdfImage::Coding::Jpeg:
        filter = QPDFObjectHandle::newName("/DCTDecode");
        break;
    case PdfImage::Coding::Pixels:
        break; // compressed by the writer
    case PdfImage::Coding::Flate:
        filter = QPDFObjectHandle::newName("/FlateDecode");
        if (image.pngPredictors) {
            parms = QPDFObjectHandle::newDictionary();
            parms.replaceKey("/Predictor", Integer(15));
            parms.replaceKey("/Colors", Integer(image.palette.empty() ? image.components : 1));
            parms.replaceKey("/BitsPerComponent", Integer(image.bitsPerComponent));
            parms.replaceKey("/Columns", Integer(image.width));
        }
        break;
    case PdfImage::Coding::Ccitt:
        filter = QPDFObjectHandle::newName("/CCITTFaxDecode");
        parms = QPDFObjectHandle::newDictionary();
        parms.replaceKey("/K", Integer(-1));
        parms.replaceKey("/Columns", Integer(image.width));
        parms.replaceKey("/Rows", Integer(image.height));
        if (image.ccittBlackIsOne)
            parms.replaceKey("/BlackIs1", QPDFObjectHandle::newBool(true));
        break;
    }
    stream.replaceStreamData(ToBuffer(image.data), filter, parms);
    return stream;
}

} // namespace

// The glyph-less font of libtesseract as a Type0 font: codes are UTF-16
// units (Identity-H), every code shows glyph 1 (an empty box half an em
// wide), and the ToUnicode map gives each code back as itself. Null when
// the font is not installed (the pages are then written without text).
QPDFObjectHandle TextFont(QPDF& pdf) {
    const std::string path = GlyphlessFontPath();
    std::string file;
    if (!path.empty()) {
        std::ifstream in(platform::PathFromUtf8(path), std::ios::binary);
        file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (file.empty())
        return QPDFObjectHandle::newNull();
    QPDFObjectHandle fontFile = pdf.newStream(file);
    fontFile.getDict().replaceKey("/Length1", Integer(static_cast<long long>(file.size())));
    std::string map(2 * 65536, '\0');
    for (std::size_t i = 1; i < map.size(); i += 2)
        map[i] = 1;
    QPDFObjectHandle cidToGid = pdf.newStream(map);
    QPDFObjectHandle toUnicode =
        pdf.newStream("/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                      "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                      "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                      "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n"
                      "1 beginbfrange\n<0000> <FFFF> <0000>\nendbfrange\n"
                      "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n");
    QPDFObjectHandle descriptor = pdf.makeIndirectObject(QPDFObjectHandle::parse(
        "<< /Type /FontDescriptor /FontName /GlyphLessFont /Flags 5 /FontBBox [0 0 500 1000] "
        "/ItalicAngle 0 /Ascent 1000 /Descent 0 /CapHeight 1000 /StemV 80 >>"));
    descriptor.replaceKey("/FontFile2", fontFile);
    QPDFObjectHandle cidFont = pdf.makeIndirectObject(QPDFObjectHandle::parse(
        "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /GlyphLessFont "
        "/CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /DW 500 >>"));
    cidFont.replaceKey("/FontDescriptor", descriptor);
    cidFont.replaceKey("/CIDToGIDMap", cidToGid);
    QPDFObjectHandle font = pdf.makeIndirectObject(QPDFObjectHandle::parse(
        "<< /Type /Font /Subtype /Type0 /BaseFont /GlyphLessFont /Encoding /Identity-H >>"));
    QPDFObjectHandle descendants = QPDFObjectHandle::newArray();
    descendants.appendItem(cidFont);
    font.replaceKey("/DescendantFonts", descendants);
    font.replaceKey("/ToUnicode", toUnicode);
    return font;
}

namespace {

// One page: its image drawn over the whole page, under the page's text layer
// where it has text (in `font`, made for the first page that needs it, unless
// no font file is there), and its rotation.
QPDFObjectHandle PageObject(QPDF& pdf, const PdfPage& page, std::optional<QPDFObjectHandle>& font) {
    const PdfImage& image = *page.image;
    const std::string w = Number(image.pointsWide()), h = Number(image.pointsHigh());
    QPDFObjectHandle xobject = ImageObject(pdf, image);
    QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
    QPDFObjectHandle xobjects = QPDFObjectHandle::newDictionary();
    xobjects.replaceKey("/Im0", xobject);
    resources.replaceKey("/XObject", xobjects);
    std::string content;
    if (page.text && !page.text->empty()) {
        if (!font)
            font = TextFont(pdf);
    }
    if (page.text && !page.text->empty() && !font->isNull()) {
        QPDFObjectHandle fonts = QPDFObjectHandle::newDictionary();
        fonts.replaceKey("/QText", *font);
        resources.replaceKey("/Font", fonts);
        content = TextLayerContent(*page.text, image.pointsWide(), image.pointsHigh());
    }
    content += "q " + w + " 0 0 " + h + " 0 0 cm /Im0 Do Q\n";
    QPDFObjectHandle contents = pdf.newStream(content);
    QPDFObjectHandle dict = QPDFObjectHandle::newDictionary();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
    dict.replaceKey("/MediaBox", QPDFObjectHandle::parse("[0 0 " + w + " " + h + "]"));
    dict.replaceKey("/Resources", resources);
    dict.replaceKey("/Contents", contents);
    const int rotation = ((page.rotation % 360) + 360) % 360;
    if (rotation != 0)
        dict.replaceKey("/Rotate", QPDFObjectHandle::newInteger(rotation));
    return pdf.makeIndirectObject(dict);
}

} // namespace
} // namespace scan::pdfwrite

using namespace scan;
using namespace scan::pdfwrite;

extern "C" QUILLOR_MODULE_EXPORT std::string quillor_write_pdf(const std::vector<PdfPage>& pages,
                                                               const std::string& path) {
    if (pages.empty())
        return "没有页面";
    // The caller names a temporary file and puts it in place once it is on
    // the disk.
    const std::filesystem::path temp = platform::PathFromUtf8(path);
    try {
        QPDF pdf;
        pdf.emptyPDF();
        QPDFPageDocumentHelper doc(pdf);
        std::optional<QPDFObjectHandle> font; // made for the first page with text
        for (const PdfPage& page : pages) {
            if (!page.image)
                return "有页面无法读取，未写入PDF文件";
            doc.addPage(QPDFPageObjectHelper(PageObject(pdf, page, font)), false);
        }
        const std::string tempName = platform::PathToUtf8(temp);
        {
            QPDFWriter writer(pdf, tempName.c_str());
            writer.setDecodeLevel(qpdf_dl_none);
            writer.setCompressStreams(true);
            writer.setObjectStreamMode(qpdf_o_generate);
            writer.write();
        }
        return {};
    } catch (const std::exception& e) {
        // qpdf's own (English) text is not for the applicant.
        std::error_code ignored;
        std::filesystem::remove(temp, ignored);
        return dynamic_cast<const std::bad_alloc*>(&e)
                   ? "内存不足，无法写入PDF文件"
                   : "写入PDF文件时出错（磁盘已满或文件夹不能写入）";
    }
}
