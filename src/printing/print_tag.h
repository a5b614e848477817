#pragma once
// The print tag: codes in a control's Tag, separated by ",", that steer how the
// control is printed (font, margins, spread text, underlines, date format).

#include <optional>
#include <string>

namespace printing {

struct PrintTag {
    bool date = false;                   // D: print a date as 2008年5月1日
    bool spread = false;                 // F: spread the characters over the box width
    bool hideText = false;               // P: print no text (underlines still)
    bool nameAfterSpace = false;         // Y: only the part after the first space
    bool underline = false;              // X
    bool underlineLong = false;          // XL: underline 500 twips beyond the right edge
    bool printHidden = false;            // [V]: the tag counts for a hidden control
    std::optional<std::string> fontName; // ZN
    std::optional<double> fontSize;      // ZS
    bool toggleBold = false;             // ZB
    int moveTop = 0;                     // MT: top edge down, height shrinks
    int moveBottom = 0;                  // MB: bottom edge down, height grows
    int moveLeft = 0;                    // ML: left edge right, width shrinks
    int moveRight = 0;                   // MR: right edge right, width grows

    bool hasFontCode() const { return fontName || fontSize || toggleBold; }
    bool hasMargins() const { return moveTop || moveBottom || moveLeft || moveRight; }
};

PrintTag ParsePrintTag(const std::string& tag);

// The tag of a control is read only when it is not empty and the control is
// visible or the tag holds "[V]"; otherwise the control prints as untagged.
PrintTag EffectivePrintTag(const std::string& tag, bool visible);

// "2008-5-1", "2008/05/01", "2008.5.1" or "2008年5月1日", optionally followed
// by a time, becomes "2008年5月1日"; anything that is no valid date is returned unchanged.
std::string FormatTagDate(const std::string& text);

// The leading number of a text as a number (0 when it starts with none).
double LeadingNumber(const std::string& text);

std::string TrimSpaces(const std::string& text);
std::string TrimTrailingSpaces(const std::string& text);
// The trimmed text without any space or tab characters.
std::string RemoveBlanks(const std::string& text);

} // namespace printing
