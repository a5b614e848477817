#pragma once
// Small procedures shared by every window: text normalisation, the identity
// number check, text replacing and counting, path splitting, safe field
// reading, filling a list from the word lists and painting a gradient.

#include "platform/db.h"

#include <cstdint>
#include <string>

namespace util {

// ---- text procedures of the start-up module ----

// Replaces full-width digits and the look-alikes of X by plain characters.
std::string& ToHalfWidth(std::string& text);
// mode 1 also removes every blank and full-width blank.
std::string CleanText(const std::string& text, std::int16_t mode);
// 0 valid; 1 length neither 15 nor 18; 2 digits part not numeric; 3 bad date.
std::int16_t CheckIdNumber(const std::string& text);

// ---- file and database utilities ----

// True when the path names a regular file (a link to one counts) that can be
// opened for reading; a folder, pipe or device never counts and is not opened.
bool FileExists(const std::string& path);
std::string GetFolderPart(const std::string& path);
std::string GetFilePart(const std::string& path);
std::int32_t GetRecordCount(const platform::db::Recordset& recordset);
bool HasField(const std::string& name, platform::db::Recordset& recordset);
std::string FieldText(const platform::db::Field& field);
std::int16_t AnsiByteLength(const std::string& text);
std::string ReplaceAll(const std::string& text, const std::string& searched,
                       const std::string& replacement);
std::int16_t CountOccurrences(const std::string& text, const std::string& searched);

// Any list or drop-down control that can be cleared and filled.
class ListControl {
  public:
    virtual ~ListControl() = default;
    virtual void Clear() = 0;
    virtual void AddItem(const std::string& text) = 0;
};

// Fills the control from list `listNumber` of 综合词表 on TemplateConnection;
// style 2 gives "code name", any other style the name alone.
void FillFromDictionary(std::int16_t listNumber, ListControl& control, std::int16_t style);
void FillFromDictionary(std::int16_t listNumber, ListControl& control, std::int16_t style,
                        platform::db::Connection& connection);

// A window or picture box that can be filled with coloured boxes.
class FillTarget {
  public:
    virtual ~FillTarget() = default;
    virtual double InnerWidth() const = 0;
    virtual double InnerHeight() const = 0;
    // Fills the box (x1, y1)-(x2, y2) in the target's scale units with 0xRRGGBB.
    virtual void FillBox(double x1, double y1, double x2, double y2, std::uint32_t rgb) = 0;
};

// 80 bands from the start colour towards the end colour; flag -1 paints top to
// bottom, any other value left to right. The start colour is advanced in place.
void PaintGradient(FillTarget& target, float& r, float& g, float& b, std::int16_t r2,
                   std::int16_t g2, std::int16_t b2, std::int16_t flag);

} // namespace util
