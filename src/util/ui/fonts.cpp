#include "util/ui/fonts.h"

#include "platform/executable.h"

#ifdef QUILLOR_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

#include <QHash>

#include <memory>
#include <mutex>
#include <system_error>

namespace util::ui {
#ifdef QUILLOR_HAVE_FONTCONFIG
namespace {

struct PatternFree {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using Pattern = std::unique_ptr<FcPattern, PatternFree>;

const FcChar8* AsFc(const std::string& text) {
    return reinterpret_cast<const FcChar8*>(text.c_str());
}

} // namespace
#endif

std::filesystem::path ExecutableFolder(const char* argv0) {
    return platform::ExecutableFolder(argv0);
}

std::filesystem::path FindFontAliasFile(const std::filesystem::path& executableFolder) {
    // Beside the program (build folder, unpacked folder), one folder up, or in
    // the shared data of an installed program (<prefix>/bin → <prefix>/share/quillor).
    const std::filesystem::path up = executableFolder.parent_path();
    for (const auto& candidate :
         {executableFolder / "fonts" / kFontAliasFileName, up / "fonts" / kFontAliasFileName,
          platform::InstalledShareFolder(executableFolder) / "fonts" / kFontAliasFileName}) {
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error))
            return candidate;
    }
    return {};
}

#ifdef QUILLOR_HAVE_FONTCONFIG
bool LoadFontAliases(const std::filesystem::path& aliasFile) {
    if (aliasFile.empty() || !FcInit())
        return false;
    const std::string file = aliasFile.string();
    return FcConfigParseAndLoad(FcConfigGetCurrent(), AsFc(file), FcTrue) == FcTrue;
}

std::string ResolvedFamily(const std::string& faceName) {
    Pattern pattern(FcPatternCreate());
    if (!pattern)
        return {};
    FcPatternAddString(pattern.get(), FC_FAMILY, AsFc(faceName));
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    Pattern match(FcFontMatch(nullptr, pattern.get(), &result));
    FcChar8* family = nullptr;
    if (!match || FcPatternGetString(match.get(), FC_FAMILY, 0, &family) != FcResultMatch)
        return {};
    return reinterpret_cast<const char*>(family);
}

#else
// Windows has the faces under their own names: nothing to alias.
bool LoadFontAliases(const std::filesystem::path&) {
    return true;
}

std::string ResolvedFamily(const std::string& faceName) {
    return faceName;
}
#endif

QString InstalledFamily(const QString& faceName) {
    if (faceName.isEmpty())
        return faceName;
    static std::mutex guard;
    static QHash<QString, QString> known;
    const std::lock_guard lock(guard);
    auto found = known.constFind(faceName);
    if (found == known.constEnd()) {
        const QString family = QString::fromStdString(ResolvedFamily(faceName.toStdString()));
        found = known.insert(faceName, family.isEmpty() ? faceName : family);
    }
    return *found;
}

} // namespace util::ui
