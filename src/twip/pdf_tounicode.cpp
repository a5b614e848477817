#include "twip/pdf_tounicode.h"

#include "platform/durable_file.h"

#include "platform/program_module.h"

#include <cctype>
#include <vector>

namespace twip {
namespace {

// One token of a CMap: a hex string <...>, an array bracket or anything else.
struct Token {
    std::size_t begin = 0;
    std::size_t end = 0; // one past the token
    char kind = 0;       // '<' hex string, '[' or ']', 'w' a word
};

class Tokens {
  public:
    explicit Tokens(const std::string& text) : text_(text) {}

    bool next(Token& token) {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_])))
            ++pos_;
        if (pos_ >= text_.size())
            return false;
        token.begin = pos_;
        const char c = text_[pos_];
        if (c == '<' && pos_ + 1 < text_.size() && text_[pos_ + 1] != '<') {
            const std::size_t close = text_.find('>', pos_);
            pos_ = close == std::string::npos ? text_.size() : close + 1;
            token.kind = '<';
        } else if (c == '[' || c == ']') {
            ++pos_;
            token.kind = c;
        } else {
            while (pos_ < text_.size() && !std::isspace(static_cast<unsigned char>(text_[pos_])) &&
                   text_[pos_] != '<' && text_[pos_] != '[' && text_[pos_] != ']')
                ++pos_;
            if (pos_ == token.begin)
                ++pos_;
            token.kind = 'w';
        }
        token.end = pos_;
        return true;
    }

  private:
    const std::string& text_;
    std::size_t pos_ = 0;
};

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

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
        std::uint16_t unit = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const int v = HexValue(digits[i + k]);
            if (v < 0)
                return false;
            unit = static_cast<std::uint16_t>(unit * 16 + v);
        }
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
    value = 0;
    digits = 0;
    for (char c : hex.substr(1, hex.size() - 2)) {
        const int v = HexValue(c);
        if (v < 0)
            return false;
        value = value * 16 + static_cast<unsigned long>(v);
        ++digits;
    }
    return digits > 0 && digits <= 8;
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

std::string RewriteToUnicodeCMap(const std::string& cmap, const CodePointPreference& prefer) {
    return Rewriter(cmap, prefer).run();
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
