// The offer after an oversized save: which linked files, in which order.

#include "materials/shrink_offer.h"

#include <gtest/gtest.h>

using materials::ShrinkCandidate;

TEST(ShrinkOfferTest, TheFilesThatGainMostComeFirstAndSmallGainsAreLeftOut) {
    constexpr std::uint64_t M = 1024 * 1024;
    const std::vector<ShrinkCandidate> all = {
        {1, 1, "营业执照", "副本", "/a/scan.pdf", 3 * M, 2 * M},      // gains 1 M
        {2, 1, "章程", "章程", "/a/tiny.jpg", 200 * 1024, 20 * 1024}, // under 256 KB
        {3, 1, "其他材料", "照片", "/a/IMG_0001.jpg", 11 * M, M},     // gains 10 M
        {3, 2, "其他材料", "截图", "/a/big.pdf", 20 * M, 18 * M},     // a tenth only
        {4, 1, "报告", "报告", "/a/report.pdf", 4 * M, 5 * M},        // would grow
        {4, 2, "报告", "附件", "/a/photo2.jpg", 5 * M, M},            // gains 4 M
    };
    const std::vector<ShrinkCandidate> offers = materials::ChooseShrinkOffers(all);
    std::vector<std::string> files;
    for (const ShrinkCandidate& c : offers)
        files.push_back(c.file);
    EXPECT_EQ(files, (std::vector<std::string>{"/a/IMG_0001.jpg", "/a/photo2.jpg", "/a/scan.pdf"}));
    EXPECT_EQ(materials::ChooseShrinkOffers(all, 1).size(), 1u);
    const std::string text = materials::ShrinkOfferText(offers, 23.4, 20);
    EXPECT_NE(text.find("申报材料共23.4 M，超过了限定的20 M。"), std::string::npos);
    EXPECT_NE(text.find("1.【其他材料】照片：IMG_0001.jpg（11.0 M，压缩后约1.0 M）"),
              std::string::npos);
    EXPECT_LT(text.find("IMG_0001.jpg"), text.find("photo2.jpg"));
}
