#include "materials/shrink_offer.h"

#include <algorithm>
#include <cstdio>

namespace materials {
namespace {

std::string Mb(std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f M", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}

std::string FileName(const std::string& path) {
    const std::size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

} // namespace

std::vector<ShrinkCandidate> ChooseShrinkOffers(std::vector<ShrinkCandidate> all,
                                                std::size_t count) {
    std::erase_if(all, [](const ShrinkCandidate& c) {
        return c.gain() < kWorthShrinkingBytes || c.gain() * 5 < c.bytes;
    });
    std::stable_sort(
        all.begin(), all.end(),
        [](const ShrinkCandidate& a, const ShrinkCandidate& b) { return a.gain() > b.gain(); });
    if (all.size() > count)
        all.resize(count);
    return all;
}

std::string ShrinkOfferText(const std::vector<ShrinkCandidate>& offers, double totalMb,
                            int limitMb) {
    char head[160];
    std::snprintf(head, sizeof head, "申报材料共%.1f M，超过了限定的%d M。", totalMb, limitMb);
    std::string text = head;
    text += "以下文件压缩后可明显变小（按可减少的大小排列）：\r\n";
    for (std::size_t i = 0; i < offers.size(); ++i) {
        const ShrinkCandidate& c = offers[i];
        text += std::to_string(i + 1) + ".【" + c.material + "】" + c.entry + "：" +
                FileName(c.file) + "（" + Mb(c.bytes) + "，压缩后约" + Mb(c.expected) + "）\r\n";
    }
    text += "是否现在逐个压缩？压缩后的副本将代替原文件链接到该报件，原文件不变。";
    return text;
}

} // namespace materials
