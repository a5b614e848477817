// After a save over the size limit: "压缩..." offered for the linked files
// that would gain most, whichever material they belong to.

#include "materials/manifest.h"
#include "materials/shrink_offer.h"
#include "materials/ui/FrmFjgl.h"
#include "platform/prompter.h"
#include "platform/utf8.h"
#include "startup/mainbas.h"

#include <filesystem>
#include <system_error>

namespace materials::ui {
namespace {

// Columns of the two grids (as FrmFjgl.cpp lays them out).
constexpr int kMaterialName = 1, kMaterialKb = 3, kMaterialKey = 4;
constexpr int kEntryNumber = 0;

} // namespace

void FrmFjgl::offerShrink() {
    if (!parts_.estimateShrink || !parts_.shrink)
        return;
    std::vector<ShrinkCandidate> all;
    std::vector<std::string> kb;
    FlexGrid& materials = MedFlex1();
    for (int r = 1; r < materials.rows(); ++r) {
        kb.push_back(materials.textMatrix(r, kMaterialKb).toStdString());
        const std::string name = materials.textMatrix(r, kMaterialName).toStdString();
        const std::optional<std::vector<FileRow>> entries = materials::ReadWjlb(
            materials.textMatrix(r, kMaterialKey).toStdString(), WorkManifestPath, StorageFolder);
        if (!entries)
            continue;
        for (std::size_t k = 0; k < entries->size(); ++k) {
            const FileRow& entry = (*entries)[k];
            const std::optional<std::filesystem::path> path =
                ResolveLink(entry.link, name, StorageFolder);
            std::error_code ignored;
            if (entry.link.empty() || !path || !std::filesystem::is_regular_file(*path, ignored))
                continue;
            const std::string file = platform::PathToUtf8(*path);
            const std::optional<ShrinkGuess> guess = parts_.estimateShrink(file);
            if (!guess)
                continue;
            all.push_back({r, static_cast<int>(k) + 1, name, entry.title, file, guess->bytes,
                           guess->expected});
        }
    }
    const std::vector<ShrinkCandidate> offers = ChooseShrinkOffers(std::move(all));
    if (offers.empty())
        return;
    if (platform::CurrentPrompter().message(
            ShrinkOfferText(offers, getTotalMb(kb), SizeLimitMb), "提示",
            platform::MsgIcon::Question, platform::MsgButtons::YesNo) != platform::MsgAnswer::Yes)
        return;
    // Each file in turn: its material and entry selected, then "压缩...".
    for (const ShrinkCandidate& offer : offers) {
        materials.setRow(offer.materialRow);
        MedFlex1_Click();
        FlexGrid& entries = MedFlex2();
        if (offer.entryRow >= entries.rows())
            continue;
        entries.setRow(offer.entryRow);
        entries.setCol(kEntryNumber);
        MedFlex2_EnterCell();
        CmdShrink_Click();
    }
}

} // namespace materials::ui
