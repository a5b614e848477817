// The ToUnicode maps of a printed PDF rewritten in place, with qpdf in the
// module quillor-pdfwrite (twip/pdf_tounicode.cpp calls it through
// platform/program_module.h): each CMap is read with qpdf's tokenizer, which
// skips comments and knows every token of the PostScript syntax CMaps use.

#define POINTERHOLDER_TRANSITION 4 // std::shared_ptr throughout, as qpdf 11 wants

#include "platform/program_module.h"

#include <qpdf/Buffer.hh>
#include <qpdf/BufferInputSource.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFTokenizer.hh>
#include <qpdf/QPDFWriter.hh>

#include <cctype>
#include <charconv>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <system_error>
#include <vector>

namespace scan::pdfwrite {
namespace {

using CodePointPreference = std::function<char32_t(char32_t)>;

// One token of a CMap: a hex string <...>, an array bracket or anything else.
struct Token {
    std::size_t begin = 0;
    std::size_t end = 0; // one past the token
    char kind = 0;       // '<' hex string, '[' or ']', 'w' anything else
};

// The tokens of a CMap's text in order, by qpdf's tokenizer; comments and
// white space are passed over.
class Tokens {
  public:
    explicit Tokens(const std::string& text)
        : input_(std::make_shared<BufferInputSource>("ToUnicode CMap", text)) {
        tokenizer_.allowEOF();
    }

    bool next(Token& token) {
        const qpdf_offset_t before = input_->tell();
        const QPDFTokenizer::Token read = tokenizer_.readToken(input_, "ToUnicode CMap", true);
        const QPDFTokenizer::token_type_e type = read.getType();
        if (type == QPDFTokenizer::tt_eof)
            return false;
        if (input_->tell() <= before) // a token that does not move on ends the text
            return false;
        token.begin = static_cast<std::size_t>(input_->getLastOffset());
        token.end = static_cast<std::size_t>(input_->tell());
        const std::string& raw = read.getRawValue();
        if (type == QPDFTokenizer::tt_string && !raw.empty() && raw[0] == '<')
            token.kind = '<';
        else if (type == QPDFTokenizer::tt_array_open)
            token.kind = '[';
        else if (type == QPDFTokenizer::tt_array_close)
            token.kind = ']';
        else
            token.kind = 'w';
        return true;
    }

  private:
    std::shared_ptr<InputSource> input_;
    QPDFTokenizer tokenizer_;
};

// The UTF-16BE units of a hex string "<...>"; false when it holds no whole units.
bool Units(const std::string& hex, std::vector<std::uint16_t>& units) {
    units.clear();
    std::string digits;
    for (char c : hex.substr(1, hex.size() - 2))
        if (!std::isspace(static_cast<unsigned char>(c)))
            digits += c;
    if (digits.empty() || digits.size() % 4 != 0)
        return false;
    for (std::size_t i = 0; i < digits.size(); i += 4) {
        const char* end = digits.data() + i + 4;
        std::uint16_t unit = 0;
        const auto [stop, error] = std::from_chars(digits.data() + i, end, unit, 16);
        if (error != std::errc() || stop != end)
            return false;
        units.push_back(unit);
    }
    return true;
}

std::string Hex(const std::vector<std::uint16_t>& units) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex = "<";
    for (std::uint16_t unit : units)
        for (int shift = 12; shift >= 0; shift -= 4)
            hex += digits[(unit >> shift) & 0xF];
    return hex + ">";
}

// A destination with each code point replaced by the preferred one.
std::vector<std::uint16_t> Preferred(const std::vector<std::uint16_t>& units,
                                     const CodePointPreference& prefer) {
    std::vector<std::uint16_t> out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t cp = units[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (units[++i] - 0xDC00);
        const char32_t chosen = prefer(cp);
        if (chosen >= 0x10000) {
            out.push_back(static_cast<std::uint16_t>(0xD800 + ((chosen - 0x10000) >> 10)));
            out.push_back(static_cast<std::uint16_t>(0xDC00 + ((chosen - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<std::uint16_t>(chosen));
        }
    }
    return out;
}

// The hex string rewritten, or the original text when nothing changes.
std::string RewriteHex(const std::string& hex, const CodePointPreference& prefer) {
    std::vector<std::uint16_t> units;
    if (!Units(hex, units))
        return hex;
    const std::vector<std::uint16_t> preferred = Preferred(units, prefer);
    return preferred == units ? hex : Hex(preferred);
}

// A source code of a range as a number, with its number of hex digits.
bool Code(const std::string& hex, unsigned long& value, std::size_t& digits) {
    const std::string_view text = std::string_view(hex).substr(1, hex.size() - 2);
    digits = text.size();
    if (digits == 0 || digits > 8)
        return false;
    value = 0;
    const auto [stop, error] = std::from_chars(text.data(), text.data() + digits, value, 16);
    return error == std::errc() && stop == text.data() + digits;
}

class Rewriter {
  public:
    Rewriter(const std::string& cmap, const CodePointPreference& prefer)
        : in_(cmap), prefer_(prefer), tokens_(cmap) {}

    std::string run() {
        Token token;
        while (tokens_.next(token)) {
            const std::string word = text(token);
            if (word == "beginbfchar")
                chars();
            else if (word == "beginbfrange")
                ranges();
        }
        out_.append(in_, copied_, std::string::npos);
        return out_;
    }

  private:
    std::string text(const Token& t) const { return in_.substr(t.begin, t.end - t.begin); }

    // Replaces the token's text by `with` in the output.
    void replace(const Token& t, const std::string& with) {
        out_.append(in_, copied_, t.begin - copied_);
        out_ += with;
        copied_ = t.end;
    }

    void rewrite(const Token& t) {
        const std::string hex = text(t);
        const std::string preferred = RewriteHex(hex, prefer_);
        if (preferred != hex)
            replace(t, preferred);
    }

    // Pairs of source and destination up to "endbfchar".
    void chars() {
        Token source, destination;
        while (tokens_.next(source) && text(source) != "endbfchar") {
            if (!tokens_.next(destination))
                return;
            if (destination.kind == '<')
                rewrite(destination);
        }
    }

    // Triples of low, high and a destination or an array of them, up to "endbfrange".
    void ranges() {
        Token low, high, destination;
        while (tokens_.next(low) && text(low) != "endbfrange") {
            if (!tokens_.next(high) || !tokens_.next(destination))
                return;
            if (destination.kind == '[') {
                Token element;
                while (tokens_.next(element) && element.kind != ']')
                    if (element.kind == '<')
                        rewrite(element);
            } else if (destination.kind == '<') {
                range(low, high, destination);
            }
        }
    }

    // A range with one starting destination: the last unit counts up along
    // the codes. Written out as an array when any destination changes.
    void range(const Token& low, const Token& high, const Token& destination) {
        unsigned long first = 0, last = 0;
        std::size_t digits = 0, highDigits = 0;
        std::vector<std::uint16_t> start;
        if (!Code(text(low), first, digits) || !Code(text(high), last, highDigits) ||
            last < first || last - first > 0xFFFF || !Units(text(destination), start))
            return;
        std::string array = "[";
        bool changed = false;
        for (unsigned long code = first; code <= last; ++code) {
            std::vector<std::uint16_t> units = start;
            units.back() = static_cast<std::uint16_t>(units.back() + (code - first));
            const std::vector<std::uint16_t> preferred = Preferred(units, prefer_);
            changed = changed || preferred != units;
            array += (code == first ? "" : " ") + Hex(preferred);
        }
        if (changed)
            replace(destination, array + "]");
    }

    const std::string& in_;
    const CodePointPreference& prefer_;
    Tokens tokens_;
    std::string out_;
    std::size_t copied_ = 0;
};

} // namespace
} // namespace scan::pdfwrite

using namespace scan::pdfwrite;

// The text of a ToUnicode CMap with every destination rewritten by `prefer`
// (see twip/pdf_tounicode.h).
extern "C" QUILLOR_MODULE_EXPORT std::string
quillor_rewrite_tounicode_cmap(const std::string& cmap, const CodePointPreference& prefer) {
    return Rewriter(cmap, prefer).run();
}

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
