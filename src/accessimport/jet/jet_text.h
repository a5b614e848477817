#pragma once
// Conversions of raw Jet values into what the SQLite store holds. Pure functions
// without libmdb, so they can be checked on hand-made bytes.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace accessimport::jet {

// What a text conversion had to do beyond plain decoding.
struct TextIssues {
    std::size_t supplementary = 0; // characters outside the Basic Multilingual Plane
    std::size_t replaced = 0;      // undecodable units written as a replacement
};

// Jet 4 text: UTF-16LE, or the "compressed" form that starts with FF FE and then
// switches between one-byte Latin-1 characters and UTF-16LE units at each 00 byte.
// Surrogate pairs become one four-byte UTF-8 character; a lone surrogate becomes
// U+FFFD. The text ends at a U+0000 character, as it does for the Jet engine.
std::string DecodeJet4Text(const unsigned char* data, std::size_t size, TextIssues& issues);

// Jet 3 text in a Windows code page ("CP936", "CP1252", ...).
class CodePageDecoder {
  public:
    // Throws std::runtime_error when the system cannot convert from `codePage`.
    explicit CodePageDecoder(const std::string& codePage);
    ~CodePageDecoder();
    CodePageDecoder(const CodePageDecoder&) = delete;
    CodePageDecoder& operator=(const CodePageDecoder&) = delete;

    // Bytes that do not decode become "?" and are counted in `issues.replaced`.
    std::string decode(const unsigned char* data, std::size_t size, TextIssues& issues);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

bool CodePageSupported(const std::string& codePage);

// A Jet date: days since 1899-12-30; the fraction is the time of day, counted
// forward from midnight also for days before 1899-12-30. Written as
// "YYYY-MM-DD HH:MM:SS", rounded to the second. Empty outside the years 100 to 9999,
// which Jet cannot hold.
std::optional<std::string> FormatJetDate(double days);

// A single-precision number as the decimal that Access shows for it (0.1f gives
// 0.1, not 0.100000001490116).
double SingleToReal(float value);

// Currency: a 64-bit count of ten-thousandths.
double CurrencyToReal(std::int64_t tenThousandths);

} // namespace accessimport::jet
