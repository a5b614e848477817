#pragma once
// The one rule for names in a package: what a material folder or a stored
// file may be called, how two names compare, and how long a path on the disc
// may be. The save, the package check, the title editor and the disc image
// all ask here, so a name the save accepts is never refused by the check or
// the disc, and the reverse.
//
// A name is kept when it reaches every reader unchanged: the Windows file
// system (no reserved character, no device name, no trailing dot or space),
// the Joliet tree of the disc as libisofs writes it (at most 64 UTF-16 units,
// no character outside the Basic Multilingual Plane, none that libisofs
// replaces), the Rock Ridge tree (255 bytes of UTF-8), and the list
// "材料清单.txt" (GB18030). Invisible characters that can make a name look
// like another one (Unicode's default-ignorable characters such as the
// bidirectional controls and zero-width characters) are refused too.

#include <cstddef>
#include <string>
#include <string_view>

namespace materials {

// Joliet keeps at most this many UTF-16 units per name (libisofs cuts longer
// names short without a word).
inline constexpr std::size_t kJolietNameUnits = 64;
// libisofs leaves out of the Joliet tree, without a word, a file whose path
// counts more than this: 1 for the root, and for each folder and the file one
// separator and two bytes per UTF-16 unit of its Joliet name (the version
// ";1" is not counted). A material name and a file name of 118 characters
// together fit; 119 do not.
inline constexpr std::size_t kJolietPathBytes = 240;
// The longest name a file system takes, in bytes of UTF-8.
inline constexpr std::size_t kMaxNameBytes = 255;

// Why `name` cannot be one file or folder name of a package; "" when it can.
std::string NameProblem(std::string_view name);
inline bool IsKeptName(std::string_view name) {
    return NameProblem(name).empty();
}

// The bytes libisofs counts for the Joliet path of the file `file` in the
// material folder `material` ("/material/file").
std::size_t JolietPathBytes(std::string_view material, std::string_view file);
// Why the path of `file` in `material` would not reach the disc; "" when it
// would (both names are assumed kept).
std::string PathProblem(std::string_view material, std::string_view file);

// Why a title the user typed cannot become an entry's file name: the name
// rule on the title and on the title with the longest extension of a stored
// file (".jpeg"), alone and in the material's folder; "" when it can. A typed
// title must also be in Unicode's composed form (NFC); names from the template
// database are not held to that (GBK itself holds compatibility ideographs).
std::string TitleProblem(std::string_view material, std::string_view title);

// The key two names compare by: equal keys are one name to Windows, on the
// disc and on file systems that normalise names (macOS, case-folding Linux
// volumes). Unicode's canonical caseless form: canonically equivalent spellings
// (é as one character or as e and a combining accent, 郎 U+F92C and U+90CE)
// and full case folding (É/é, Ａ/ａ, ß/SS) are one name; compatibility forms
// are not folded (full-width Ａ and A stay two names).
std::string NameKey(std::string_view name);
inline bool SameName(std::string_view a, std::string_view b) {
    return NameKey(a) == NameKey(b);
}
// The name in Unicode's decomposed form (NFD): names that differ only by
// their normalisation have one canonical form (case still counts).
std::string CanonicalForm(std::string_view name);

// "“X”（U+XXXX）": a character as a message names it.
std::string CharacterText(char32_t c);

} // namespace materials
