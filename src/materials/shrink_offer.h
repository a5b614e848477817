#pragma once
// The offer after a save over the size limit: of all the linked files, the
// ones "压缩..." would make much smaller, largest gain first, each named with
// its material, entry, size and expected size. A file a shrink produced is
// never offered again (the caller leaves it out).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace materials {

struct ShrinkCandidate {
    int materialRow = 0; // row in the material grid
    int entryRow = 0;    // row in the entry grid of that material
    std::string material;
    std::string entry;
    std::string file;
    std::uint64_t bytes = 0;    // now
    std::uint64_t expected = 0; // about, after "压缩..."
    std::uint64_t gain() const { return bytes > expected ? bytes - expected : 0; }
};

// Worth offering: a gain of at least 256 KB and a fifth of the file.
inline constexpr std::uint64_t kWorthShrinkingBytes = 256 * 1024;

// The candidates worth offering, largest gain first (ties: the order given),
// at most `count`.
std::vector<ShrinkCandidate> ChooseShrinkOffers(std::vector<ShrinkCandidate> all,
                                                std::size_t count = 5);

// The question: the package's size and limit, then one line per offer.
std::string ShrinkOfferText(const std::vector<ShrinkCandidate>& offers, double totalMb,
                            int limitMb);

} // namespace materials
