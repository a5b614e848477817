// Shrinking a 20-page colour scan at 300 dpi whose pages are stored
// losslessly (Flate, as many scanner drivers write them), each page under a
// line of text. Prints "size ratio X" (result over input), the time, and
// whether the text layer (the pages' content streams) was kept. Goal: at
// most 0.4.

#define POINTERHOLDER_TRANSITION 4

#include "scan/shrink.h"
#include "scan_bench_images.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;
using namespace scan_bench;

namespace {

constexpr int kPages = 20;
constexpr double kGoal = 0.4;

void WriteScan(const std::string& path) {
    QPDF pdf;
    pdf.emptyPDF();
    QPDFPageDocumentHelper doc(pdf);
    QPDFObjectHandle font = pdf.makeIndirectObject(
        QPDFObjectHandle::parse("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"));
    for (int i = 0; i < kPages; ++i) {
        const scan::Raster px = PhotoPage(2480, 3508, static_cast<unsigned>(i));
        QPDFObjectHandle image = pdf.newStream(
            std::string(reinterpret_cast<const char*>(px.pixels.data()), px.pixels.size()));
        QPDFObjectHandle dict = image.getDict();
        dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
        dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
        dict.replaceKey("/Width", QPDFObjectHandle::newInteger(px.width));
        dict.replaceKey("/Height", QPDFObjectHandle::newInteger(px.height));
        dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
        dict.replaceKey("/ColorSpace", QPDFObjectHandle::newName("/DeviceRGB"));
        QPDFObjectHandle page =
            QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 595.2 841.8] /Resources << "
                                    "/XObject << >> /Font << >> >> >>");
        page.getKey("/Resources").getKey("/XObject").replaceKey("/Im0", image);
        page.getKey("/Resources").getKey("/Font").replaceKey("/F1", font);
        page.replaceKey("/Contents",
                        pdf.newStream("q 595.2 0 0 841.8 0 0 cm /Im0 Do Q BT /F1 12 Tf 72 800 Td "
                                      "(Scanned page " +
                                      std::to_string(i + 1) + ") Tj ET\n"));
        doc.addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
    }
    QPDFWriter writer(pdf, path.c_str());
    writer.setCompressStreams(true);
    writer.write();
}

std::vector<std::string> Contents(const std::string& path) {
    QPDF pdf;
    pdf.processFile(path.c_str());
    std::vector<std::string> out;
    for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(pdf).getAllPages()) {
        const auto data = page.getObjectHandle().getKey("/Contents").getStreamData();
        out.emplace_back(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
    }
    return out;
}

} // namespace

int main() {
    const fs::path dir = fs::temp_directory_path() / ("shrink_bench_" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string in = (dir / "scan.pdf").string(), out = (dir / "small.pdf").string();
    WriteScan(in);
    std::vector<double> times;
    scan::ShrinkResult result;
    for (int run = 0; run < 3; ++run) {
        fs::remove(out);
        const auto start = std::chrono::steady_clock::now();
        result = scan::ShrinkFile(in, out);
        times.push_back(Seconds(start));
        if (!result.ok()) {
            std::fprintf(stderr, "failed: %s\n", result.message.c_str());
            return 2;
        }
    }
    const double ratio = static_cast<double>(result.bytesAfter) / result.bytesBefore;
    const bool textKept = Contents(in) == Contents(out);
    std::printf("%d pages, 300 dpi colour, lossless: %ju bytes -> %ju bytes, %d images\n",
                result.pages, static_cast<std::uintmax_t>(result.bytesBefore),
                static_cast<std::uintmax_t>(result.bytesAfter), result.imagesChanged);
    std::printf("time median %.3f s\n", Median(times));
    std::printf("text layer kept: %s\n", textKept ? "yes" : "NO");
    std::printf("size ratio %.3f (goal at most %.1f)\n", ratio, kGoal);
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return ratio <= kGoal && textKept ? 0 : 1;
}
