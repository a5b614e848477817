#include "twip/pdf_tounicode.h"

#include <gtest/gtest.h>

namespace {

// 行 for its radical U+2F8F, 人 for U+2F08, a space for a tab.
char32_t Prefer(char32_t c) {
    return c == 0x2F8F ? 0x884C : c == 0x2F08 ? 0x4EBA : c == 0x09 ? 0x20 : c;
}

TEST(PdfToUnicode, DestinationsTakeThePreferredCodePointsAndNothingElseChanges) {
    const std::string head = "/CIDInit /ProcSet findresource begin 1 begincodespacerange\n"
                             "<0000> <FFFF>\nendcodespacerange\n";
    struct Case {
        const char* maps;
        const char* rewritten;
    };
    const Case cases[] = {
        {"2 beginbfchar\n<0001> <2F8F>\n<2F08> <0041>\nendbfchar\n",
         "2 beginbfchar\n<0001> <884C>\n<2F08> <0041>\nendbfchar\n"},
        {"1 beginbfrange\n<0001> <0003> [<2F08> <0009> <D840DC00>]\nendbfrange\n",
         "1 beginbfrange\n<0001> <0003> [<4EBA> <0020> <D840DC00>]\nendbfrange\n"},
        // A counting range is written out once one of its code points changes.
        {"2 beginbfrange\n<0000> <0000> <0000>\n<0010> <0012> <2F07>\nendbfrange\n",
         "2 beginbfrange\n<0000> <0000> <0000>\n<0010> <0012> [<2F07> <4EBA> "
         "<2F09>]\nendbfrange\n"},
        {"1 beginbfrange\n<0010> <0012> <4E00>\nendbfrange\n",
         "1 beginbfrange\n<0010> <0012> <4E00>\nendbfrange\n"},
        // A comment is passed over, also one that looks like a mapping.
        {"1 beginbfchar % <0002> <2F8F>\n<0001> <2F8F>\nendbfchar\n",
         "1 beginbfchar % <0002> <2F8F>\n<0001> <884C>\nendbfchar\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(twip::RewriteToUnicodeCMap(head + c.maps + "endcmap\n", Prefer),
                  head + c.rewritten + "endcmap\n");
}

} // namespace
