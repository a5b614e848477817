#include "accessimport/jet/jet_text.h"

#include "platform/utf8.h"

#include <iconv.h>
#include <unicode/utf16.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <vector>

namespace accessimport::jet {
namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;

// Expands the compressed form (after its FF FE mark) into UTF-16 code units.
std::vector<char16_t> Decompress(const unsigned char* data, std::size_t size) {
    std::vector<char16_t> units;
    units.reserve(size);
    bool compressed = true;
    std::size_t i = 0;
    while (i < size) {
        if (data[i] == 0) {
            compressed = !compressed;
            ++i;
        } else if (compressed) {
            units.push_back(data[i]);
            ++i;
        } else if (i + 1 < size) {
            units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
            i += 2;
        } else {
            break;
        }
    }
    return units;
}

std::vector<char16_t> PlainUnits(const unsigned char* data, std::size_t size) {
    std::vector<char16_t> units(size / 2);
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    return units;
}

std::string Utf16ToUtf8(const std::vector<char16_t>& units, TextIssues& issues) {
    std::string out;
    out.reserve(units.size() * 3);
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        if (u == 0)
            break;
        if (U16_IS_LEAD(u) && i + 1 < units.size() && U16_IS_TRAIL(units[i + 1])) {
            out += platform::ToUtf8(static_cast<char32_t>(U16_GET_SUPPLEMENTARY(u, units[i + 1])));
            ++issues.supplementary;
            ++i;
        } else if (U16_IS_SURROGATE(u)) {
            out += platform::ToUtf8(kReplacementCharacter);
            ++issues.replaced;
        } else {
            out += platform::ToUtf8(char32_t{u});
        }
    }
    return out;
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian calendar).
void CivilFromDays(long long z, long long& y, unsigned& m, unsigned& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<long long>(yoe) + era * 400 + (m <= 2 ? 1 : 0);
}

} // namespace

std::string DecodeJet4Text(const unsigned char* data, std::size_t size, TextIssues& issues) {
    const bool compressed = size >= 2 && data[0] == 0xFF && data[1] == 0xFE;
    return Utf16ToUtf8(compressed ? Decompress(data + 2, size - 2) : PlainUnits(data, size),
                       issues);
}

struct CodePageDecoder::State {
    iconv_t cd;
};

CodePageDecoder::CodePageDecoder(const std::string& codePage) {
    iconv_t cd = iconv_open("UTF-8", codePage.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("不支持的代码页 " + codePage);
    state_ = std::make_unique<State>(State{cd});
}

CodePageDecoder::~CodePageDecoder() {
    iconv_close(state_->cd);
}

std::string CodePageDecoder::decode(const unsigned char* data, std::size_t size,
                                    TextIssues& issues) {
    std::string out;
    std::array<char, 4096> buffer;
    char* in = reinterpret_cast<char*>(const_cast<unsigned char*>(data));
    std::size_t inLeft = size;
    iconv(state_->cd, nullptr, nullptr, nullptr, nullptr);
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        std::size_t outLeft = buffer.size();
        const std::size_t rc = iconv(state_->cd, &in, &inLeft, &outPtr, &outLeft);
        const int error = rc == static_cast<std::size_t>(-1) ? errno : 0;
        out.append(buffer.data(), outPtr);
        if (error == EILSEQ || error == EINVAL) {
            out += '?';
            ++issues.replaced;
            ++in;
            --inLeft;
        } else if (error != 0 && error != E2BIG) {
            break;
        }
    }
    const std::size_t nul = out.find('\0');
    if (nul != std::string::npos)
        out.resize(nul);
    return out;
}

bool CodePageSupported(const std::string& codePage) {
    iconv_t cd = iconv_open("UTF-8", codePage.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    iconv_close(cd);
    return true;
}

std::optional<std::string> FormatJetDate(double days) {
    constexpr long long kSecondsPerDay = 86400;
    constexpr long long kEpochOffsetDays = 25569; // 1899-12-30 to 1970-01-01
    constexpr double kFirstDay = -657434;         // 0100-01-01
    constexpr double kLastDay = 2958466;          // 10000-01-01
    if (!std::isfinite(days) || days <= kFirstDay - 1 || days >= kLastDay)
        return std::nullopt;
    double whole = 0;
    const double fraction = std::modf(days, &whole);
    long long day = static_cast<long long>(whole);
    long long seconds = std::llround(std::fabs(fraction) * kSecondsPerDay);
    if (seconds >= kSecondsPerDay) {
        seconds -= kSecondsPerDay;
        ++day;
    }
    long long year = 0;
    unsigned month = 0, dayOfMonth = 0;
    CivilFromDays(day - kEpochOffsetDays, year, month, dayOfMonth);
    char text[40];
    const int secondOfDay = static_cast<int>(seconds);
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d", static_cast<int>(year), month,
                  dayOfMonth, secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60);
    return std::string(text);
}

double SingleToReal(float value) {
    if (!std::isfinite(value))
        return value;
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value);
    double result = value;
    std::from_chars(text, written.ptr, result);
    return result;
}

double CurrencyToReal(std::int64_t tenThousandths) {
    return static_cast<double>(tenThousandths) / 10000.0;
}

} // namespace accessimport::jet
