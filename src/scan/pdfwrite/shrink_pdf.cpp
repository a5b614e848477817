// "压缩..." for a PDF, with qpdf in the module quillor-pdfwrite (scan/shrink.cpp
// calls it through platform/program_module.h): each image is reduced to at
// most the wanted resolution over its page and stored as JPEG.

// qpdf without its old PointerHolder interface.
#define POINTERHOLDER_TRANSITION 4

#include "platform/image_limits.h"
#include "platform/program_module.h"
#include "platform/utf8.h"
#include "scan/jpeg.h"
#include "scan/raster.h"
#include "scan/shrink.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>
#include <system_error>

namespace scan::pdfwrite {
namespace {

// Components of an image's colour space that the program can re-encode: 1
// or 3 (Device or ICC based); 0 for anything else.
int Components(QPDFObjectHandle space) {
    if (space.isName()) {
        const std::string n = space.getName();
        return n == "/DeviceGray" ? 1 : n == "/DeviceRGB" ? 3 : 0;
    }
    if (space.isArray() && space.getArrayNItems() == 2 && space.getArrayItem(0).isName() &&
        space.getArrayItem(0).getName() == "/ICCBased") {
        QPDFObjectHandle icc = space.getArrayItem(1);
        if (icc.isStream()) {
            QPDFObjectHandle n = icc.getDict().getKey("/N");
            if (n.isInteger() && (n.getIntValue() == 1 || n.getIntValue() == 3))
                return static_cast<int>(n.getIntValue());
        }
    }
    return 0;
}

bool IsPlainDct(QPDFObjectHandle filter) {
    if (filter.isName())
        return filter.getName() == "/DCTDecode";
    return filter.isArray() && filter.getArrayNItems() == 1 && filter.getArrayItem(0).isName() &&
           filter.getArrayItem(0).getName() == "/DCTDecode";
}

// Re-encodes one image of a page whose box is `pageW` x `pageH` points;
// true when it was replaced by a smaller one.
// The image's pixels (w × h, n components), from plain JPEG data or from
// 8-bit samples behind filters qpdf decodes; `oldSize` is its stored size.
// Nothing for any other image.
std::optional<Raster> ImagePixels(QPDFObjectHandle image, long long w, long long h, int n,
                                  std::size_t& oldSize) {
    QPDFObjectHandle dict = image.getDict();
    QPDFObjectHandle filter = dict.getKey("/Filter");
    if (IsPlainDct(filter)) {
        const std::shared_ptr<Buffer> raw = image.getRawStreamData();
        oldSize = raw->getSize();
        std::vector<std::uint8_t> bytes(raw->getBuffer(), raw->getBuffer() + raw->getSize());
        std::optional<Raster> decoded = DecodeJpeg(bytes);
        if (!decoded || decoded->channels != n)
            return std::nullopt;
        return decoded;
    }
    if (!dict.getKey("/BitsPerComponent").isInteger() ||
        dict.getKey("/BitsPerComponent").getIntValue() != 8)
        return std::nullopt;
    oldSize = image.getRawStreamData()->getSize();
    std::shared_ptr<Buffer> data;
    try {
        data = image.getStreamData(qpdf_dl_generalized);
    } catch (const std::exception&) {
        return std::nullopt; // a filter the program cannot decode (JBIG2, JPX, CCITT)
    }
    const std::size_t need = static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * n;
    if (data->getSize() < need)
        return std::nullopt;
    Raster pixels = MakeRaster(static_cast<int>(w), static_cast<int>(h), n);
    std::memcpy(pixels.pixels.data(), data->getBuffer(), need);
    return pixels;
}

bool ShrinkImage(QPDFObjectHandle image, double pageW, double pageH, const ShrinkOptions& o) {
    QPDFObjectHandle dict = image.getDict();
    if (dict.getKey("/ImageMask").isBool() && dict.getKey("/ImageMask").getBoolValue())
        return false;
    if (dict.hasKey("/Decode") || dict.hasKey("/Mask"))
        return false; // inverted or colour-keyed: left as it is
    QPDFObjectHandle wObj = dict.getKey("/Width"), hObj = dict.getKey("/Height");
    if (!wObj.isInteger() || !hObj.isInteger())
        return false;
    const long long w = wObj.getIntValue(), h = hObj.getIntValue();
    const int n = Components(dict.getKey("/ColorSpace"));
    // An image beyond the memory limit is left as it is.
    if (n == 0 || w <= 0 || h <= 0 || w > 1'000'000 || h > 1'000'000 ||
        !platform::ImageFitsMemory(static_cast<std::uint64_t>(w), static_cast<std::uint64_t>(h),
                                   static_cast<std::uint64_t>(n)))
        return false;
    std::size_t oldSize = 0;
    std::optional<Raster> decoded = ImagePixels(image, w, h, n, oldSize);
    if (!decoded)
        return false;
    const Raster& pixels = *decoded;
    // The page's size in inches bounds the pixels the image needs.
    const double longIn = std::max(pageW, pageH) / 72.0, shortIn = std::min(pageW, pageH) / 72.0;
    int tw = 0, th = 0;
    FitWithin(static_cast<int>(w), static_cast<int>(h), longIn * o.maxDpi, shortIn * o.maxDpi, tw,
              th);
    const Raster reduced = Downsample(pixels, tw, th);
    const std::vector<std::uint8_t> jpeg = EncodeJpeg(reduced, o.jpegQuality);
    // An image within the resolution is encoded again only for a real gain
    // (a third of its bytes): a small image stays byte for byte.
    const bool reducedSize = tw != w || th != h;
    if (jpeg.empty() || jpeg.size() >= oldSize || (!reducedSize && jpeg.size() * 3 > oldSize * 2))
        return false;
    auto buffer = std::make_shared<Buffer>(jpeg.size());
    std::memcpy(buffer->getBuffer(), jpeg.data(), jpeg.size());
    image.replaceStreamData(buffer, QPDFObjectHandle::newName("/DCTDecode"),
                            QPDFObjectHandle::newNull());
    dict.replaceKey("/Width", QPDFObjectHandle::newInteger(reduced.width));
    dict.replaceKey("/Height", QPDFObjectHandle::newInteger(reduced.height));
    dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
    if (dict.hasKey("/SMaskInData"))
        dict.removeKey("/SMaskInData");
    return true;
}

std::uint64_t FileSize(const std::filesystem::path& p) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(p, ec);
    return ec ? 0 : static_cast<std::uint64_t>(size);
}

// Shrinks the images of every page, each image once, counting the pages and
// the images changed in `result`; false when the user cancels.
bool ShrinkPages(QPDF& pdf, const ShrinkOptions& o, ShrinkResult& result) {
    std::set<QPDFObjGen> done;
    QPDFPageDocumentHelper doc(pdf);
    std::vector<QPDFPageObjectHelper> pages = doc.getAllPages();
    for (QPDFPageObjectHelper& page : pages) {
        if (o.cancelled())
            return false;
        if (o.progress)
            o.progress(0.95 * result.pages / static_cast<double>(pages.size()));
        ++result.pages;
        const QPDFObjectHandle::Rectangle box = page.getTrimBox(false).getArrayAsRectangle();
        const double pw = std::abs(box.urx - box.llx), ph = std::abs(box.ury - box.lly);
        page.forEachImage(true,
                          [&](QPDFObjectHandle& image, QPDFObjectHandle&, std::string const&) {
                              if (!done.insert(image.getObjGen()).second)
                                  return;
                              if (ShrinkImage(image, pw, ph, o))
                                  ++result.imagesChanged;
                          });
    }
    return true;
}

// The shrunk document written to `temp`, its streams compressed anew.
void WriteShrunk(QPDF& pdf, const std::filesystem::path& temp) {
    // The writer keeps the file name's pointer until write() ends.
    const std::string tempName = platform::PathToUtf8(temp);
    QPDFWriter writer(pdf, tempName.c_str());
    writer.setObjectStreamMode(qpdf_o_generate);
    writer.setCompressStreams(true);
    writer.setDecodeLevel(qpdf_dl_generalized);
    writer.write();
}

} // namespace
} // namespace scan::pdfwrite

using namespace scan;
using namespace scan::pdfwrite;

extern "C" QUILLOR_MODULE_EXPORT ShrinkResult quillor_shrink_pdf(const std::string& source,
                                                                 const std::string& target,
                                                                 const ShrinkOptions& o) {
    const std::filesystem::path in = platform::PathFromUtf8(source),
                                out = platform::PathFromUtf8(target);
    ShrinkResult result;
    result.bytesBefore = FileSize(in);
    // The caller names a temporary file and puts it in place once it is on
    // the disk.
    const std::filesystem::path& temp = out;
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.setAttemptRecovery(false);
        pdf.processFile(platform::PathToUtf8(in).c_str());
        if (pdf.isEncrypted())
            return ShrinkFailure(ShrinkStatus::Encrypted, "该PDF文件有密码保护，无法压缩。");
        if (!ShrinkPages(pdf, o, result)) {
            std::error_code ignored;
            std::filesystem::remove(temp, ignored);
            return ShrinkFailure(ShrinkStatus::Cancelled, "");
        }
        if (pdf.anyWarnings())
            return ShrinkFailure(ShrinkStatus::Damaged, "该PDF文件已损坏，无法压缩。");
        WriteShrunk(pdf, temp);
    } catch (const QPDFExc& e) {
        std::error_code ignored;
        std::filesystem::remove(temp, ignored);
        if (e.getErrorCode() == qpdf_e_password)
            return ShrinkFailure(ShrinkStatus::Encrypted, "该PDF文件有密码保护，无法压缩。");
        return ShrinkFailure(ShrinkStatus::Damaged, "该PDF文件已损坏，无法压缩。");
    } catch (const std::exception& e) { // memory running out says so
        std::error_code ignored;
        std::filesystem::remove(temp, ignored);
        return ShrinkFailureOf(e, true);
    }
    result.bytesAfter = FileSize(out);
    if (o.progress)
        o.progress(1.0);
    return result;
}

// What quillor_shrink_pdf would make of the file, from the images'
// dictionaries alone: each image it would reduce counts as a JPEG of the
// reduced size, everything else as it is.
extern "C" QUILLOR_MODULE_EXPORT bool
quillor_estimate_shrink(const std::string& source, const ShrinkOptions& o, ShrinkEstimate* out) {
    const std::filesystem::path in = platform::PathFromUtf8(source);
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.setAttemptRecovery(false);
        pdf.processFile(platform::PathToUtf8(in).c_str());
        if (pdf.isEncrypted())
            return false;
        out->bytesBefore = FileSize(in);
        std::uint64_t saved = 0;
        std::set<QPDFObjGen> done;
        for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(pdf).getAllPages()) {
            const QPDFObjectHandle::Rectangle box = page.getTrimBox(false).getArrayAsRectangle();
            const double pw = std::abs(box.urx - box.llx), ph = std::abs(box.ury - box.lly);
            page.forEachImage(
                true, [&](QPDFObjectHandle& image, QPDFObjectHandle&, std::string const&) {
                    if (!done.insert(image.getObjGen()).second)
                        return;
                    QPDFObjectHandle dict = image.getDict();
                    const int n = Components(dict.getKey("/ColorSpace"));
                    if (n == 0 || !dict.getKey("/Width").isInteger() ||
                        !dict.getKey("/Height").isInteger() || dict.hasKey("/Mask") ||
                        dict.hasKey("/Decode"))
                        return;
                    const long long w = dict.getKey("/Width").getIntValue();
                    const long long h = dict.getKey("/Height").getIntValue();
                    if (w <= 0 || h <= 0 || w > 1'000'000 || h > 1'000'000)
                        return;
                    int tw = 0, th = 0;
                    FitWithin(static_cast<int>(w), static_cast<int>(h),
                              std::max(pw, ph) / 72.0 * o.maxDpi,
                              std::min(pw, ph) / 72.0 * o.maxDpi, tw, th);
                    QPDFObjectHandle length = dict.getKey("/Length");
                    const std::uint64_t old = length.isInteger() && length.getIntValue() > 0
                                                  ? static_cast<std::uint64_t>(length.getIntValue())
                                                  : image.getRawStreamData()->getSize();
                    const std::uint64_t after =
                        EstimatedJpegBytes(static_cast<std::uint64_t>(tw) * th, n);
                    if (after < old)
                        saved += old - after;
                });
        }
        out->bytesAfter = out->bytesBefore > saved ? out->bytesBefore - saved : 0;
        return true;
    } catch (const std::exception&) {
        return false;
    }
}
