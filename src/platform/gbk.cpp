#include "platform/gbk.h"

#include "platform/utf8.h"

#include <iconv.h>

#include <cerrno>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace platform {
namespace {

struct IconvCloser {
    void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using Iconv = std::unique_ptr<void, IconvCloser>;

Iconv OpenIconv(const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    return Iconv(cd == reinterpret_cast<iconv_t>(-1) ? nullptr : cd);
}

// The converter between two encodings, opened once per thread and reset to
// its initial state for each use: opening one costs far more than converting
// a name (the name rule converts every name of a package).
void* Converter(const char* to, const char* from) {
    struct Open {
        std::string to, from;
        Iconv cd;
    };
    thread_local std::vector<Open> opened;
    for (Open& o : opened)
        if (o.to == to && o.from == from) {
            iconv(static_cast<iconv_t>(o.cd.get()), nullptr, nullptr, nullptr, nullptr);
            return o.cd.get();
        }
    Iconv cd = OpenIconv(to, from);
    if (!cd)
        return nullptr;
    opened.push_back({to, from, std::move(cd)});
    return opened.back().cd.get();
}

// Converts the whole input; nullopt on the first unconvertible sequence.
std::optional<std::string> Convert(const char* to, const char* from, std::string_view input) {
    void* const cd = Converter(to, from);
    if (!cd)
        return std::nullopt;
    std::string out(input.size() * 4 + 8, '\0');
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char* dst = out.data();
    std::size_t outLeft = out.size();
    if (iconv(static_cast<iconv_t>(cd), &in, &inLeft, &dst, &outLeft) ==
        static_cast<std::size_t>(-1))
        return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

} // namespace

std::optional<std::string> Utf8ToGbk(std::string_view utf8) {
    return Convert("GBK", "UTF-8", utf8);
}

std::string Utf8ToGbkLossless(std::string_view utf8) {
    if (auto whole = Utf8ToGbk(utf8))
        return *whole;
    std::string out;
    for (char32_t ch : platform::ToU32(utf8)) {
        const std::string one = platform::ToUtf8(ch);
        if (auto gbk = Convert("GBK", "UTF-8", one))
            out += *gbk;
        else if (auto gb18030 = Convert("GB18030", "UTF-8", one))
            out += *gb18030;
        else
            out += '?';
    }
    return out;
}

namespace {

// `bytes` in `encoding` as UTF-8. When the whole does not convert, it goes
// character by character (`widthAt` gives the bytes of the one at an offset),
// and a character that does not convert becomes U+FFFD.
template <typename WidthAt>
std::string DecodeReplacing(std::string_view bytes, const char* encoding, WidthAt widthAt) {
    if (auto whole = Convert("UTF-8", encoding, bytes))
        return *whole;
    std::string out;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t width = widthAt(i);
        std::optional<std::string> piece;
        if (i + width <= bytes.size())
            piece = Convert("UTF-8", encoding, bytes.substr(i, width));
        if (piece && !piece->empty()) {
            out += *piece;
            i += width;
        } else {
            out += platform::ToUtf8(char32_t{0xFFFD});
            ++i;
        }
    }
    return out;
}

} // namespace

std::string GbkToUtf8(std::string_view gbk) {
    return DecodeReplacing(gbk, "GBK", [gbk](std::size_t i) -> std::size_t {
        return static_cast<unsigned char>(gbk[i]) < 0x80 ? 1 : 2;
    });
}

std::optional<std::string> Utf8ToGb18030(std::string_view utf8) {
    return Convert("GB18030", "UTF-8", utf8);
}

std::string Gb18030ToUtf8(std::string_view bytes) {
    // One byte (ASCII), two (lead 81-FE, trail 40-7E or 80-FE) or four (81-FE,
    // 30-39, 81-FE, 30-39).
    return DecodeReplacing(bytes, "GB18030", [bytes](std::size_t i) -> std::size_t {
        const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
        if (byte(i) < 0x80)
            return 1;
        return i + 1 < bytes.size() && byte(i + 1) >= 0x30 && byte(i + 1) <= 0x39 ? 4 : 2;
    });
}

std::size_t GbkByteLength(std::string_view utf8) {
    return Utf8ToGbkLossless(utf8).size();
}

std::string GbkTextBytes(std::string_view utf8Text) {
    std::string withCrLf;
    withCrLf.reserve(utf8Text.size() + 16);
    for (std::size_t i = 0; i < utf8Text.size(); ++i) {
        if (utf8Text[i] == '\n' && (i == 0 || utf8Text[i - 1] != '\r'))
            withCrLf += '\r';
        withCrLf += utf8Text[i];
    }
    // GB18030 throughout (GBK's own form for every character GBK holds but
    // "€"), so that a reader decoding GB18030 gets every character back.
    std::string bytes;
    if (auto whole = Utf8ToGb18030(withCrLf)) {
        bytes = std::move(*whole);
    } else {
        for (char32_t ch : platform::ToU32(withCrLf))
            bytes += Utf8ToGb18030(platform::ToUtf8(ch)).value_or("?");
    }
    return bytes;
}

bool WriteGbkTextFile(const std::filesystem::path& path, std::string_view utf8Text) {
    const std::string bytes = GbkTextBytes(utf8Text);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

} // namespace platform
