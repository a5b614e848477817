#include "fieldforms/field_layout.h"

#include "fieldforms/field_queries.h"
#include "startup/mainbas.h"
#include "util/convert.h"
#include "util/frmutil.h"
#include "util/line_breaks.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace fieldforms {
namespace {

using platform::db::Recordset;

std::string Text(Recordset& row, const char* column) {
    return util::FieldText(row.Fields(column));
}

double Number(Recordset& row, const char* column) {
    return util::LeadingNumber(Text(row, column));
}

int WholeNumber(double value) {
    if (value != std::floor(value) || std::abs(value) > std::numeric_limits<int>::max())
        return -1;
    return static_cast<int>(value);
}

// Rounds to the nearest twip, halves to even; a value no screen could show
// is refused with the field it came from.
std::int64_t Round(double twips, const FieldDefinition& row) {
    const double rounded = std::nearbyint(twips);
    if (!std::isfinite(rounded) || std::abs(rounded) > static_cast<double>(kMaxTwips)) {
        const std::string which =
            row.name.empty() ? "标题行【" + row.caption + "】" : "字段【" + row.name + "】";
        throw LayoutError(which + "的尺寸超出范围，无法排列表格");
    }
    return static_cast<std::int64_t>(rounded);
}

std::int64_t NotNegative(std::int64_t twips) {
    return twips < 0 ? 0 : twips;
}

class Builder {
  public:
    Builder(const std::vector<FieldDefinition>& rows, std::int32_t count)
        : rows_(rows), count_(count) {}

    FormLayout Build() {
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            if (rows_[i].isCaption())
                PlaceCaption(i);
            else
                PlaceField(i);
            EndCell(rows_[i]);
        }
        return std::move(layout_);
    }

  private:
    // Caption, height, bottom of the table row, position and width of a
    // label, the same for field labels and caption rows. A label is as tall
    // as its lines and centred on the row; a negative width shows nothing.
    TwipBox LabelBox(const FieldDefinition& row) {
        const std::int64_t height =
            Round(static_cast<double>(kLabelLineHeight) * util::CaptionLineCount(row.caption), row);
        const double rowHeight = 90.0 + kLineHeight * row.height;
        ReachDown(Round(static_cast<double>(y_) + rowHeight, row));
        const std::int64_t top =
            Round(static_cast<double>(y_) + 30 + (rowHeight - height) / 2, row);
        const std::int64_t width = NotNegative(Round(kRowUnit * row.labelWidth, row));
        return {x_, top, width, height};
    }

    // The bottom of a table row is the greatest bottom of its cells, so that
    // a taller cell is never drawn over the next row.
    void ReachDown(std::int64_t cellBottom) { bottom_ = std::max(bottom_, cellBottom); }

    void AddWidth(double units) { widthSum_ = static_cast<float>(widthSum_ + units); }

    void PlaceField(std::size_t i) {
        const FieldDefinition& row = rows_[i];
        const TwipBox label = LabelBox(row);
        layout_.labels.push_back({i, label});
        AddWidth(row.labelWidth);
        if (row.lines) {
            if (x_ == kFrameLeft) {
                layout_.verticalLines.push_back(
                    {kFrameLeft + label.width, y_, kFrameLeft + label.width, bottom_});
            } else {
                layout_.verticalLines.push_back({x_, y_, x_, bottom_});
                layout_.verticalLines.push_back({x_ + label.width, y_, x_ + label.width, bottom_});
            }
        }
        x_ += label.width;

        const std::int64_t width = NotNegative(Round(kRowUnit * row.fieldWidth - 60, row));
        if (row.isList()) {
            layout_.lists.push_back({i, {x_ + 30, y_ + 30, width, 0}});
            ReachDown(Round(static_cast<double>(y_) + 90 + kLineHeight * row.height, row));
        } else {
            const std::int64_t height = NotNegative(Round(kLineHeight * row.height, row));
            layout_.textBoxes.push_back({i, {x_ + 30, y_ + 60, width, height}});
            ReachDown(y_ + 90 + height);
        }
        x_ += width + 60;
        AddWidth(row.fieldWidth);
    }

    void PlaceCaption(std::size_t i) {
        const FieldDefinition& row = rows_[i];
        const TwipBox box = LabelBox(row);
        layout_.captions.push_back({i, box});
        AddWidth(row.labelWidth);
        if (row.lines) {
            layout_.verticalLines.push_back({x_, y_, x_, bottom_});
            layout_.verticalLines.push_back({x_ + box.width, y_, x_ + box.width, bottom_});
        }
        x_ += box.width;
    }

    void EndCell(const FieldDefinition& row) {
        if (!(widthSum_ > 9.5f))
            return;
        // The rule lines of the row's cells reach down to the row's bottom.
        for (std::size_t i = rowLines_; i < layout_.verticalLines.size(); ++i)
            layout_.verticalLines[i].y2 = std::max(layout_.verticalLines[i].y2, bottom_);
        rowLines_ = layout_.verticalLines.size();
        if (row.order != static_cast<double>(count_)) {
            const std::int64_t right = kFrameLeft + kFrameWidth;
            layout_.horizontalLines.push_back({kFrameLeft, bottom_, right, bottom_});
            widthSum_ = 0;
            x_ = kFrameLeft;
            y_ = bottom_;
            return;
        }
        // The last row: its bottom closes the frame; no rule under it.
        ClosedHeights heights;
        heights.frame = bottom_ - kFrameTop;
        heights.picture = kFrameTop + heights.frame + kBottomMargin;
        heights.window = kPictureTop + heights.picture + kBottomMargin;
        layout_.closed = heights;
    }

    const std::vector<FieldDefinition>& rows_;
    const std::int32_t count_;
    FormLayout layout_;
    std::int64_t x_ = kFrameLeft;
    std::int64_t y_ = kFrameTop;
    std::int64_t bottom_ = kFrameTop;
    std::size_t rowLines_ = 0; // the first vertical line of the current table row
    float widthSum_ = 0;
};

} // namespace

FieldDefinition ReadFieldDefinition(Recordset& row) {
    FieldDefinition def;
    def.order = Number(row, "排序号");
    def.name = Text(row, "字段名称");
    def.caption = Text(row, "显示名称");
    def.kind = FieldKindOf(Text(row, "字段类型"));
    def.value = Text(row, "字段值");
    def.memo = Text(row, "备注值");
    def.length = Number(row, "字段长度");
    def.fieldWidth = Number(row, "字段宽度");
    def.labelWidth = Number(row, "显示宽度");
    def.height = Number(row, "字段高度");
    def.alignment = WholeNumber(Number(row, "对齐方式"));
    def.lines = Number(row, "是否显示线段") == 1;
    def.required = Number(row, "必填项") == 1;
    def.dictionary = Number(row, "词典编码");
    def.inheritFrom = Text(row, "继承字段名");
    def.editable = Number(row, "是否可编辑") != 0;
    return def;
}

FieldSelection ReadFieldSelection() {
    FieldSelection selection;
    Recordset rows;
    rows.Open(FormRowsQuery(), *TemplateConnection);
    selection.count = util::GetRecordCount(rows);
    for (; !rows.Eof(); rows.MoveNext())
        selection.rows.push_back(ReadFieldDefinition(rows));
    rows.Close();
    return selection;
}

FormLayout LayoutFieldForm(const std::vector<FieldDefinition>& rows, std::int32_t count) {
    return Builder(rows, count).Build();
}

InputSetup SetUpInput(const FieldDefinition& row,
                      const std::function<std::string(const std::string&)>& readItemColumn) {
    InputSetup setup;
    setup.value = row.kind == kLongText ? row.memo : row.value;
    if (!row.inheritFrom.empty()) {
        if (setup.value.empty())
            setup.value = readItemColumn(row.inheritFrom);
        setup.enabled = row.editable;
    }
    setup.toolTip = row.name + (row.required ? "*" : "");
    // A text box holds at most 32767 characters; a length below one (or none)
    // sets no limit.
    const double length = std::nearbyint(row.length);
    if (length >= 1)
        setup.maxLength = length >= 32767 ? 32767 : static_cast<int>(length);
    return setup;
}

std::string ReadItemColumn(const std::string& name) {
    Recordset item;
    item.Open(ItemRowQuery(), *TemplateConnection);
    std::string text;
    if (!item.Eof() && util::HasField(name, item))
        text = util::FieldText(item.Fields(name));
    item.Close();
    return text;
}

std::optional<std::int16_t> DictionaryList(const FieldDefinition& row) {
    const double list = std::nearbyint(row.dictionary);
    if (!(list >= std::numeric_limits<std::int16_t>::min() &&
          list <= std::numeric_limits<std::int16_t>::max()))
        return std::nullopt;
    return static_cast<std::int16_t>(list);
}

} // namespace fieldforms
