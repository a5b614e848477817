// Conversions of raw Jet values: Jet 4 text (plain and compressed), Jet 3 code
// pages, dates and single-precision numbers.

#include "accessimport/jet/jet_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using accessimport::jet::TextIssues;

std::string Decode4(const std::vector<unsigned char>& bytes, TextIssues& issues) {
    return accessimport::jet::DecodeJet4Text(bytes.data(), bytes.size(), issues);
}

TEST(Jet4Text, PlainAndCompressedFormsDecodeToUtf8) {
    TextIssues issues;
    // "系统" as UTF-16LE
    EXPECT_EQ(Decode4({0xFB, 0x7C, 0xDF, 0x7E}, issues), "系统");
    // compressed: "ab", switch to UTF-16 for "中", back to one byte for "é"
    EXPECT_EQ(Decode4({0xFF, 0xFE, 'a', 'b', 0x00, 0x2D, 0x4E, 0x00, 0xE9}, issues), "ab中é");
    EXPECT_EQ(Decode4({}, issues), "");
    EXPECT_EQ(Decode4({'a', 0x00, 0x00, 0x00, 'b', 0x00}, issues), "a") << "ends at U+0000";
    EXPECT_EQ(Decode4({'a', 0x00, 'b'}, issues), "a") << "an odd last byte is dropped";
    EXPECT_EQ(issues.supplementary, 0u);
    EXPECT_EQ(issues.replaced, 0u);
}

TEST(Jet4Text, CharactersOutsideTheBmpAreKeptAndCounted) {
    TextIssues issues;
    // U+20000 (surrogates D840 DC00) between two Chinese characters
    EXPECT_EQ(Decode4({0x2D, 0x4E, 0x40, 0xD8, 0x00, 0xDC, 0x87, 0x65}, issues), "中\U00020000文");
    EXPECT_EQ(issues.supplementary, 1u);
    EXPECT_EQ(issues.replaced, 0u);

    TextIssues lone;
    EXPECT_EQ(Decode4({0x40, 0xD8, 'x', 0x00}, lone), "\uFFFDx");
    EXPECT_EQ(lone.replaced, 1u);
    EXPECT_EQ(lone.supplementary, 0u);
}

TEST(Jet3Text, CodePageTextDecodesAndUndecodableBytesAreCounted) {
    ASSERT_TRUE(accessimport::jet::CodePageSupported("CP936"));
    EXPECT_FALSE(accessimport::jet::CodePageSupported("CP99999"));
    accessimport::jet::CodePageDecoder gbk("CP936");
    TextIssues issues;
    const std::string bytes = "\xCF\xB5\xCD\xB3"
                              "ab"; // 系统ab
    EXPECT_EQ(
        gbk.decode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), issues),
        "系统ab");
    EXPECT_EQ(issues.replaced, 0u);
    const std::string broken = "a\xFF\xFF"
                               "b";
    EXPECT_EQ(
        gbk.decode(reinterpret_cast<const unsigned char*>(broken.data()), broken.size(), issues),
        "a??b");
    EXPECT_EQ(issues.replaced, 2u);
    EXPECT_THROW(accessimport::jet::CodePageDecoder("CP99999"), std::runtime_error);
}

TEST(JetDate, DaysSince18991230BecomeIsoText) {
    EXPECT_EQ(accessimport::jet::FormatJetDate(0.0), "1899-12-30 00:00:00");
    EXPECT_EQ(accessimport::jet::FormatJetDate(36526.5), "2000-01-01 12:00:00");
    EXPECT_EQ(accessimport::jet::FormatJetDate(45000.25), "2023-03-15 06:00:00");
    // before 1899-12-30 the fraction still counts forward from midnight
    EXPECT_EQ(accessimport::jet::FormatJetDate(-1.25), "1899-12-29 06:00:00");
    // rounding to the second may carry into the next day
    EXPECT_EQ(accessimport::jet::FormatJetDate(36526.9999999), "2000-01-02 00:00:00");
    EXPECT_EQ(accessimport::jet::FormatJetDate(2958465.0), "9999-12-31 00:00:00");
    EXPECT_EQ(accessimport::jet::FormatJetDate(-657434.0), "0100-01-01 00:00:00");
    EXPECT_FALSE(accessimport::jet::FormatJetDate(3.0e6).has_value());
    EXPECT_FALSE(accessimport::jet::FormatJetDate(-1.0e7).has_value());
}

TEST(JetNumbers, SingleAndCurrencyBecomeTheDecimalsAccessShows) {
    EXPECT_EQ(accessimport::jet::SingleToReal(0.1f), 0.1);
    EXPECT_EQ(accessimport::jet::SingleToReal(12.75f), 12.75);
    EXPECT_EQ(accessimport::jet::SingleToReal(-3.3f), -3.3);
    EXPECT_EQ(accessimport::jet::CurrencyToReal(127500), 12.75);
    EXPECT_EQ(accessimport::jet::CurrencyToReal(-1), -0.0001);
}

} // namespace
