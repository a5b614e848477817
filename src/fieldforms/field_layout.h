#pragma once
// The layout of the project-basic-information form, computed from the rows of
// 项目基本信息 that belong to the current item: where each label, caption,
// input and rule line goes, in twips, and how tall the frame, the drawing
// area and the window become. The window only applies the result to its
// controls.
//
// The form is a ruled table 7500 twips wide (x 150 to 7650) inside the frame
// Shape1, whose top is at y 750 of the drawing area Pic2. A row unit is a
// tenth of that width, 750 twips. Cells are placed left to right; a table
// row is complete when the widths placed in it add up to more than 9.5 row
// units. Positions are kept in 64-bit integers, so a long form cannot
// overflow them; values are rounded to the nearest twip, halves to even.

#include "fieldforms/field_queries.h"
#include "platform/db.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace fieldforms {

// Geometry of the window as designed.
inline constexpr int kFormClientWidth = 7815;
inline constexpr int kFormClientHeight = 8970; // before the build sets it
inline constexpr int kPictureLeft = -30;
inline constexpr int kPictureTop = 570;
inline constexpr int kPictureWidth = 7845;
inline constexpr int kFrameLeft = 150;
inline constexpr int kFrameTop = 750;
inline constexpr int kFrameWidth = 7500;
inline constexpr int kRowUnit = 750;   // a tenth of the table row
inline constexpr int kLineHeight = 27; // twips per tenth of a 270-twip line
inline constexpr int kLabelLineHeight = 200;
inline constexpr int kBottomMargin = 500;
// The window's outer height counts its title bar and borders.
inline constexpr int kTitleAndBorders = 420;
// Designed heights of the frame and the drawing area, consistent with the
// designed client height and the margins the build uses.
inline constexpr int kDesignedPictureHeight =
    kFormClientHeight + kTitleAndBorders - kPictureTop - kBottomMargin;
inline constexpr int kDesignedFrameHeight = kDesignedPictureHeight - kFrameTop - kBottomMargin;

// A value of a definition that the layout cannot place (a width or height
// beyond any screen or page).
class LayoutError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// One row of 项目基本信息 as the form reads it. Number columns are read
// through their text: empty text, null or text that is no number count as 0.
struct FieldDefinition {
    double order = 0;        // 排序号
    std::string name;        // 字段名称; empty: a caption row
    std::string caption;     // 显示名称
    int kind = 0;            // 字段类型; -1 for a value that is no whole number
    std::string value;       // 字段值
    std::string memo;        // 备注值
    double length = 0;       // 字段长度
    double fieldWidth = 0;   // 字段宽度, row units
    double labelWidth = 0;   // 显示宽度, row units
    double height = 0;       // 字段高度, tenths of a line
    int alignment = 0;       // 对齐方式: 0 left, 1 right, 2 centre
    bool lines = false;      // 是否显示线段 = 1
    bool required = false;   // 必填项 = 1
    double dictionary = 0;   // 词典编码
    std::string inheritFrom; // 继承字段名
    bool editable = false;   // 是否可编辑 not 0 (consulted for inherited fields)

    bool isCaption() const { return name.empty(); }
    bool isList() const { return kind == kList; }
};

// Reads a definition from the current row of a recordset over 项目基本信息;
// throws platform::db::DbError when a column is missing.
FieldDefinition ReadFieldDefinition(platform::db::Recordset& row);

// The selected rows of the current item in 排序号 order (the form's query),
// and N, their number (-1 when it cannot be counted).
struct FieldSelection {
    std::vector<FieldDefinition> rows;
    std::int32_t count = 0;
};
FieldSelection ReadFieldSelection();

struct TwipBox {
    std::int64_t left = 0;
    std::int64_t top = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;
    bool operator==(const TwipBox&) const = default;
};

struct TwipSegment {
    std::int64_t x1 = 0;
    std::int64_t y1 = 0;
    std::int64_t x2 = 0;
    std::int64_t y2 = 0;
    bool operator==(const TwipSegment&) const = default;
};

// A label of a field row (Label1) or the text of a caption row (Label2).
struct PlacedLabel {
    std::size_t row = 0; // index into the selection
    TwipBox box;
};

// An input: a text box (Text1) or, for kind 4, a drop-down list (Combo1),
// whose height is its font's (box.height 0).
struct PlacedInput {
    std::size_t row = 0;
    TwipBox box;
};

// The heights the last row (排序号 = N) gives the frame, the drawing area and
// the window (outer height, title bar and borders included).
struct ClosedHeights {
    std::int64_t frame = 0;
    std::int64_t picture = 0;
    std::int64_t window = 0;
    bool operator==(const ClosedHeights&) const = default;
};

// The whole layout. The position of an element in its list is its index in
// the window's control array, and each list's size is the number its Tag keeps.
struct FormLayout {
    std::vector<PlacedLabel> labels;          // Label1
    std::vector<PlacedLabel> captions;        // Label2
    std::vector<PlacedInput> textBoxes;       // Text1
    std::vector<PlacedInput> lists;           // Combo1
    std::vector<TwipSegment> verticalLines;   // LineV
    std::vector<TwipSegment> horizontalLines; // LineH
    std::optional<ClosedHeights> closed;      // none: designed heights stay
};

// Lays the rows out in the order given; `count` is N, the number of the last
// row. Throws LayoutError for a size beyond kMaxTwips.
FormLayout LayoutFieldForm(const std::vector<FieldDefinition>& rows, std::int32_t count);

// The largest position or size the layout produces, in twips.
inline constexpr std::int64_t kMaxTwips = 100'000'000;

// What an input shows and allows when the form opens.
struct InputSetup {
    std::string value;   // shown text, or the value to select in a list
    bool enabled = true; // false: a read-only inherited field
    std::string toolTip; // 字段名称, "*" appended when required
    int maxLength = 0;   // characters; 0 unlimited
};

// The stored value of the row (备注值 for long text), replaced when it is
// empty and the field is inherited by `readItemColumn`(继承字段名).
InputSetup SetUpInput(const FieldDefinition& row,
                      const std::function<std::string(const std::string&)>& readItemColumn);

// The selected item's 资料模板 column `name` as text; "" when the item has no
// row or the row has no such column.
std::string ReadItemColumn(const std::string& name);

// The 综合词表 list a drop-down field is filled from; nullopt when 词典编码
// names no list the table can hold (out of the 16-bit range of 类别).
std::optional<std::int16_t> DictionaryList(const FieldDefinition& row);

// The field name that shows each entry as code, space and name.
inline constexpr const char* kRegionField = "行政区域";
inline bool ShowsCodes(const std::string& fieldName) {
    return fieldName == kRegionField;
}

} // namespace fieldforms
