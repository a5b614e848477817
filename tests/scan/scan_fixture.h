#pragma once
// Page images and PDF inspection for the scanning tests: synthetic pages
// (white, text lines, grey paper with noise, photograph-like), and a look
// into written PDFs with qpdf.

#define POINTERHOLDER_TRANSITION 4

#include "scan/raster.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace scan_test {

// Cheap noise, uniform in [-spread, spread] (about spread / 1.7 standard
// deviation): enough to defeat compressors and to test the blank check.
class Noise {
  public:
    explicit Noise(unsigned seed) : state_(seed * 2654435761u + 1) {}
    int operator()(int spread) {
        state_ ^= state_ << 13, state_ ^= state_ >> 17, state_ ^= state_ << 5;
        return spread > 0 ? static_cast<int>(state_ % (2u * spread + 1)) - spread : 0;
    }

  private:
    std::uint32_t state_;
};

// An A4 page at `dpi` filled with `paper`, with noise of about `noise`
// standard deviation.
inline scan::Raster Paper(int dpi, int channels, int paper = 255, double noise = 0,
                          unsigned seed = 1) {
    const int w = static_cast<int>(std::lround(8.27 * dpi)),
              h = static_cast<int>(std::lround(11.69 * dpi));
    scan::Raster r = scan::MakeRaster(w, h, channels);
    Noise n(seed);
    const int spread = static_cast<int>(std::lround(noise * 1.7));
    for (auto& p : r.pixels)
        p = static_cast<std::uint8_t>(std::clamp(paper + n(spread), 0, 255));
    return r;
}

// Draws "text": a line of letter-sized dark blocks with gaps, `chars` long,
// starting one inch from the top-left plus `line` line heights.
inline void TextLine(scan::Raster& r, int dpi, int chars, int line = 0) {
    const int charW = dpi / 10, charH = dpi / 7, stroke = std::max(2, dpi / 60);
    const int top = dpi + line * charH * 2;
    for (int c = 0; c < chars; ++c) {
        const int left = dpi + c * (charW + charW / 3);
        for (int y = top; y < top + charH && y < r.height; ++y)
            for (int x = left; x < left + charW && x < r.width; ++x) {
                // An outline and a bar: like a glyph, mostly paper inside.
                const bool ink = y - top < stroke || top + charH - y <= stroke ||
                                 x - left < stroke ||
                                 std::abs(y - top - charH / 2) < stroke / 2 + 1;
                if (ink)
                    for (int k = 0; k < r.channels; ++k)
                        r.row(y)[x * r.channels + k] = 20;
            }
    }
}

// Gradients and noise: what a photograph or a colour scan gives a compressor.
inline scan::Raster PhotoLike(int width, int height, unsigned seed) {
    scan::Raster r = scan::MakeRaster(width, height, 3);
    Noise noise(seed);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = r.row(y);
        const int fy = 120 * y / height;
        for (int x = 0; x < width; ++x, p += 3) {
            const int fx = 150 * x / width;
            const int base[3] = {60 + fx, 80 + fy,
                                 200 - (fx + fy) / 2 + static_cast<int>(seed % 40)};
            for (int k = 0; k < 3; ++k)
                p[k] = static_cast<std::uint8_t>(std::clamp(base[k] + noise(10), 0, 255));
        }
    }
    return r;
}

struct PdfPageInfo {
    double width = 0, height = 0; // MediaBox in points
    int rotate = 0;
    int imageWidth = 0, imageHeight = 0, bits = 0;
    std::string filter;
    std::string colourSpace;
    std::vector<std::uint8_t> raw; // the image stream as stored
};

inline std::vector<PdfPageInfo> ReadPdf(const std::string& path) {
    QPDF pdf;
    pdf.processFile(path.c_str());
    std::vector<PdfPageInfo> out;
    for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(pdf).getAllPages()) {
        PdfPageInfo info;
        const auto box = page.getMediaBox().getArrayAsRectangle();
        info.width = box.urx - box.llx;
        info.height = box.ury - box.lly;
        QPDFObjectHandle rotate = page.getAttribute("/Rotate", false);
        info.rotate = rotate.isInteger() ? static_cast<int>(rotate.getIntValue()) : 0;
        for (auto& [key, image] : page.getImages()) {
            QPDFObjectHandle dict = image.getDict();
            info.imageWidth = static_cast<int>(dict.getKey("/Width").getIntValue());
            info.imageHeight = static_cast<int>(dict.getKey("/Height").getIntValue());
            info.bits = static_cast<int>(dict.getKey("/BitsPerComponent").getIntValue());
            QPDFObjectHandle filter = dict.getKey("/Filter");
            info.filter = filter.isName()   ? filter.getName()
                          : filter.isNull() ? ""
                                            : filter.unparse();
            info.colourSpace = dict.getKey("/ColorSpace").unparse();
            const auto raw = image.getRawStreamData();
            info.raw.assign(raw->getBuffer(), raw->getBuffer() + raw->getSize());
        }
        out.push_back(std::move(info));
    }
    return out;
}

} // namespace scan_test

#include "scan/pdf_pages.h"

#include <qpdf/QPDFWriter.hh>

namespace scan_test {

// A PDF of `pages` pages, each an image stored losslessly (Flate) under one
// line of real text in Helvetica ("Quillor page N"); `userPassword` makes it
// password-protected.
inline void TextAndImagePdf(const std::string& path, int pages, int dpi,
                            const std::string& userPassword = "") {
    QPDF pdf;
    pdf.emptyPDF();
    QPDFPageDocumentHelper doc(pdf);
    QPDFObjectHandle font = pdf.makeIndirectObject(QPDFObjectHandle::parse(
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"));
    for (int i = 0; i < pages; ++i) {
        const scan::Raster pixels =
            PhotoLike(static_cast<int>(8.27 * dpi), static_cast<int>(11.69 * dpi), 10u + i);
        QPDFObjectHandle image = pdf.newStream(
            std::string(reinterpret_cast<const char*>(pixels.pixels.data()), pixels.pixels.size()));
        QPDFObjectHandle dict = image.getDict();
        dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
        dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
        dict.replaceKey("/Width", QPDFObjectHandle::newInteger(pixels.width));
        dict.replaceKey("/Height", QPDFObjectHandle::newInteger(pixels.height));
        dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
        dict.replaceKey("/ColorSpace", QPDFObjectHandle::newName("/DeviceRGB"));
        const std::string content = "q 595.44 0 0 841.68 0 0 cm /Im0 Do Q\nBT /F1 24 Tf 72 760 Td "
                                    "(Quillor page " +
                                    std::to_string(i + 1) + ") Tj ET\n";
        QPDFObjectHandle page =
            QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 595.44 841.68] /Resources << "
                                    "/XObject << >> /Font << >> >> >>");
        page.getKey("/Resources").getKey("/XObject").replaceKey("/Im0", image);
        page.getKey("/Resources").getKey("/Font").replaceKey("/F1", font);
        page.replaceKey("/Contents", pdf.newStream(content));
        doc.addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
    }
    QPDFWriter writer(pdf, path.c_str());
    writer.setCompressStreams(true); // Flate: lossless, as scanner drivers store pages
    if (!userPassword.empty())
        writer.setR6EncryptionParameters(userPassword.c_str(), "owner", true, true, true, true,
                                         true, true, qpdf_r3p_full, true);
    writer.write();
}

} // namespace scan_test
