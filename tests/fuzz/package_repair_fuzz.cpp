// Fuzz entry: the input becomes the staging folder of an interrupted save in a
// crafted package folder (materials/hostile_staging.h): a previous package,
// the applicant's own file that no package stored, and a material folder that
// is a link to a sentinel folder outside the package.
//
// The input is the text form of a crafted staging folder (CraftedStaging).
//
// The package check without --repair must change nothing at all; the repair
// must change nothing outside the package, and the applicant's own file
// unless the input names it (only the previous stored copy, which the input
// also supplies, protects a name inside the package).

#include "disc/check_command.h"
#include "fuzz/fuzz_support.h"
#include "materials/hostile_staging.h"
#include "materials/package_journal.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

using namespace package_test;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fs::path root = fuzz::OwnRoot("package_repair");
    fuzz::InstallQuietPrompter();
    const std::string text(reinterpret_cast<const char*>(data), size);
    HostileFolder folder;
    folder.prepare(root);
    if (!folder.stage(ParseCrafted(text)))
        return 0;

    const std::string package = platform::PathToUtf8(folder.package());
    const auto before = fuzz::Listing(folder.package());
    std::ostringstream out;
    disc::RunCheckPackage(package, nullptr, out, false);
    fuzz::Check(fuzz::Listing(folder.package()) == before, "the read-only check wrote");
    const std::string untouched = folder.damage();
    fuzz::Check(untouched.empty(), untouched + " by the read-only check");

    materials::RepairPackage(package);
    const bool namesOwnFile = text.find("我的说明") != std::string::npos;
    const std::string repaired = folder.damage(!namesOwnFile);
    fuzz::Check(repaired.empty(), repaired + " by the repair");
    disc::RunCheckPackage(package, nullptr, out, true);
    const std::string checked = folder.damage(!namesOwnFile);
    fuzz::Check(checked.empty(), checked + " by the check with --repair");
    return 0;
}
