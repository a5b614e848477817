#include "fieldforms/field_layout.h"

#include "startup/mainbas.h"
#include "support/fixture_db.h"

#include <gtest/gtest.h>

using fieldforms::FieldDefinition;
using fieldforms::FormLayout;
using fieldforms::LayoutFieldForm;
using fieldforms::TwipBox;
using fieldforms::TwipSegment;

namespace {

FieldDefinition Caption(double order, double width, const std::string& text = "标题") {
    FieldDefinition row;
    row.order = order;
    row.caption = text;
    row.labelWidth = width;
    row.height = 10;
    row.lines = true;
    return row;
}

FieldDefinition Field(double order, double label, double input, int kind = 0,
                      const std::string& caption = "名称") {
    FieldDefinition row;
    row.order = order;
    row.name = "字段" + std::to_string(static_cast<int>(order));
    row.caption = caption;
    row.kind = kind;
    row.labelWidth = label;
    row.fieldWidth = input;
    row.height = 10;
    row.lines = true;
    return row;
}

// The worked example: a full-width caption, then a text field and a list
// field of 2 + 3 units each, N = 3.
TEST(FieldLayout, ReproducesTheWorkedExampleToTheTwip) {
    const FormLayout layout =
        LayoutFieldForm({Caption(1, 10), Field(2, 2, 3), Field(3, 2, 3, 4)}, 3);

    ASSERT_EQ(layout.captions.size(), 1u);
    EXPECT_EQ(layout.captions[0].box, (TwipBox{150, 860, 7500, 200}));
    ASSERT_EQ(layout.labels.size(), 2u);
    EXPECT_EQ(layout.labels[0].box, (TwipBox{150, 1220, 1500, 200}));
    EXPECT_EQ(layout.labels[1].box, (TwipBox{3900, 1220, 1500, 200}));
    ASSERT_EQ(layout.textBoxes.size(), 1u);
    EXPECT_EQ(layout.textBoxes[0].box, (TwipBox{1680, 1170, 2190, 270}));
    ASSERT_EQ(layout.lists.size(), 1u);
    EXPECT_EQ(layout.lists[0].box, (TwipBox{5430, 1140, 2190, 0}));
    EXPECT_EQ(layout.lists[0].row, 2u);

    const std::vector<TwipSegment> vertical = {{150, 750, 150, 1110},
                                               {7650, 750, 7650, 1110},
                                               {1650, 1110, 1650, 1470},
                                               {3900, 1110, 3900, 1470},
                                               {5400, 1110, 5400, 1470}};
    EXPECT_EQ(layout.verticalLines, vertical);
    EXPECT_EQ(layout.horizontalLines, (std::vector<TwipSegment>{{150, 1110, 7650, 1110}}));
    ASSERT_TRUE(layout.closed);
    EXPECT_EQ(*layout.closed, (fieldforms::ClosedHeights{720, 1970, 3040}));
}

TEST(FieldLayout, ATableRowIsCompleteOnlyBeyondNineAndAHalfUnits) {
    // 4.5 + 5 = 9.5: the next field continues the row at x 7275, past the frame.
    const FormLayout open = LayoutFieldForm({Field(1, 4.5, 5), Field(2, 2, 3)}, 2);
    ASSERT_EQ(open.labels.size(), 2u);
    EXPECT_EQ(open.labels[1].box.left, 7275);
    EXPECT_EQ(open.labels[1].box.top, open.labels[0].box.top);
    EXPECT_TRUE(open.horizontalLines.empty());
    // A last row that leaves its table row incomplete resizes nothing.
    EXPECT_FALSE(LayoutFieldForm({Field(1, 2, 3)}, 1).closed);

    // 4.6 + 5 = 9.6 (in single precision as well): a new table row starts.
    const FormLayout complete = LayoutFieldForm({Field(1, 4.6, 5), Field(2, 2, 3)}, 2);
    EXPECT_EQ(complete.labels[1].box.left, 150);
    EXPECT_EQ(complete.labels[1].box.top, 1110 + 110);
    EXPECT_EQ(complete.horizontalLines, (std::vector<TwipSegment>{{150, 1110, 7650, 1110}}));

    // A two-unit-high field, then one-unit-high ones: the row ends below the tallest.
    FieldDefinition tall = Field(1, 2, 2);
    tall.height = 20;
    const FormLayout mixed =
        LayoutFieldForm({tall, Field(2, 2, 1), Field(3, 2, 1), Field(4, 5, 5)}, 4);
    EXPECT_EQ(mixed.horizontalLines, (std::vector<TwipSegment>{{150, 1380, 7650, 1380}}));
    EXPECT_EQ(mixed.verticalLines[4].y2, 1380);
    EXPECT_EQ(mixed.labels[3].box.top, 1380 + 110);
}

TEST(FieldLayout, LabelsAreAsTallAsTheirLinesAndCentredOnTheRow) {
    struct Case {
        const char* caption;
        std::int64_t height;
    };
    // Every kind of break counts one line, as the labels show them.
    const Case cases[] = {{"一行", 200},
                          {"第一\r\n第二\r\n第三", 600},
                          {"第一\r第二\r第三", 600},
                          {"第一\n第二", 400},
                          {"末尾\r\n", 400}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        const FormLayout layout = LayoutFieldForm({Field(1, 5, 5, 0, c.caption)}, 1);
        EXPECT_EQ(layout.labels[0].box.height, c.height);
        // Centred on the 360-twip row: three lines overhang its top by 90.
        EXPECT_EQ(layout.labels[0].box.top, 750 + 30 + (360 - c.height) / 2);
    }
    const FormLayout caption = LayoutFieldForm({Caption(1, 10, "一\r\n二\r\n三")}, 1);
    EXPECT_EQ(caption.captions[0].box.top, 750 - 90);
}

TEST(FieldLayout, RoundsHalvesToEven) {
    // 27 × 11.5 = 310.5: the text box is 310 high, the list's row ends at 1150.
    FieldDefinition text = Field(1, 5, 5);
    text.height = 11.5;
    const FormLayout boxes = LayoutFieldForm({text, Field(2, 5, 5)}, 9);
    EXPECT_EQ(boxes.textBoxes[0].box.height, 310);
    EXPECT_EQ(boxes.horizontalLines[0].y1, 750 + 90 + 310);
    EXPECT_EQ(boxes.labels[0].box.top, 880); // 750 + 30 + 100.25
    FieldDefinition list = Field(1, 5, 5, 4);
    list.height = 11.5;
    EXPECT_EQ(LayoutFieldForm({list}, 9).horizontalLines[0].y1, 1150); // 1150.5
    list.height = 12.5;                                                // 27 × 12.5 = 337.5
    EXPECT_EQ(LayoutFieldForm({list}, 9).horizontalLines[0].y1, 1178); // 1177.5
}

TEST(FieldLayout, OrderNumbersThatMissTheLastRowLeaveTheDesignedHeights) {
    struct Case {
        std::vector<double> orders;
        std::int32_t count;
    };
    // Gaps, duplicates, an uncountable selection (-1) and no rows at all.
    const Case cases[] = {{{1, 2, 5}, 3}, {{1, 1, 2}, 3}, {{1, 2, 3}, -1}, {{}, 0}};
    for (const Case& c : cases) {
        std::vector<FieldDefinition> rows;
        for (double order : c.orders)
            rows.push_back(Field(order, 5, 5));
        const FormLayout layout = LayoutFieldForm(rows, c.count);
        EXPECT_FALSE(layout.closed);
        // A rule under every complete table row, the last included.
        EXPECT_EQ(layout.horizontalLines.size(), rows.size());
    }
    const FormLayout none = LayoutFieldForm({}, 0);
    EXPECT_TRUE(none.labels.empty() && none.textBoxes.empty() && none.verticalLines.empty());
}

TEST(FieldLayout, VerticalRulesFollowTheCellsThatAskForThem) {
    FieldDefinition bare = Field(1, 2, 3);
    bare.lines = false;
    FieldDefinition caption = Caption(2, 5);
    // A field row opening the table row: one rule after the label; further
    // cells: a pair around the label or caption.
    const FormLayout layout = LayoutFieldForm({bare, caption, Field(3, 2, 3), Field(4, 2, 3)}, 4);
    const std::vector<TwipSegment> expected = {{3900, 750, 3900, 1110},
                                               {7650, 750, 7650, 1110},
                                               {1650, 1110, 1650, 1470},
                                               {3900, 1110, 3900, 1470},
                                               {5400, 1110, 5400, 1470}};
    EXPECT_EQ(layout.verticalLines, expected);
    EXPECT_EQ(layout.labels[2].box.left, 3900);
}

TEST(FieldLayout, NonPositiveWidthsShowNothingAndGoOn) {
    FieldDefinition zero = Field(1, 2, 0);
    FieldDefinition negative = Field(2, -1, -4, 4);
    const FormLayout layout = LayoutFieldForm({zero, negative, Field(3, 5, 5)}, 3);
    EXPECT_EQ(layout.textBoxes[0].box.width, 0);
    EXPECT_EQ(layout.labels[1].box.left, 150 + 1500 + 60);
    EXPECT_EQ(layout.labels[1].box.width, 0);
    EXPECT_EQ(layout.lists[0].box.width, 0);
    // 2 + 0 - 1 - 4 + 5 + 5 = 7: the table row is never complete.
    EXPECT_FALSE(layout.closed);
}

TEST(FieldLayout, LongFormsGoBeyondSixteenBitsAndAbsurdSizesAreRefused) {
    std::vector<FieldDefinition> rows;
    for (int i = 1; i <= 100; ++i)
        rows.push_back(Field(i, 5, 5));
    const FormLayout layout = LayoutFieldForm(rows, 100);
    ASSERT_TRUE(layout.closed);
    EXPECT_EQ(layout.closed->frame, 100 * 360);
    EXPECT_EQ(layout.labels.back().box.top, 750 + 99 * 360 + 110);

    FieldDefinition huge = Field(1, 5, 5);
    huge.name = "巨大";
    huge.height = 1e12;
    try {
        LayoutFieldForm({huge}, 1);
        FAIL() << "no error";
    } catch (const fieldforms::LayoutError& e) {
        EXPECT_NE(std::string(e.what()).find("字段【巨大】"), std::string::npos);
    }
}

// Definitions as the database gives them: numbers read through their text.
class FieldSelectionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        db = std::make_unique<testsupport::FixtureDb>(dir.File("系统模板.mdb"));
        db->AddParameters();
        db->AddItem({.extra = {{"单位名称", "某某公司"}}});
    }
    void Start() {
        db->Close();
        ASSERT_TRUE(testsupport::StartProgram(dir.path()));
        SelectedItem = 0;
    }
    void TearDown() override { ResetGlobals(); }

    testsupport::TempDir dir;
    std::unique_ptr<testsupport::FixtureDb> db;
};

TEST_F(FieldSelectionTest, NullsAndTextInNumberColumnsCountAsZero) {
    db->AddField({.order = 2,
                  .name = "甲",
                  .kind = nullptr,
                  .length = "abc",
                  .fieldWidth = nullptr,
                  .labelWidth = "2.5",
                  .height = "x",
                  .align = nullptr,
                  .lines = nullptr,
                  .required = "1"});
    db->AddField({.order = 1, .name = "", .label = "标题", .kind = "4.5"});
    db->AddField({.seq = 2, .order = 3, .name = "别的事项"});
    Start();
    const fieldforms::FieldSelection selection = fieldforms::ReadFieldSelection();
    EXPECT_EQ(selection.count, 2);
    ASSERT_EQ(selection.rows.size(), 2u);
    const FieldDefinition& caption = selection.rows[0];
    EXPECT_TRUE(caption.isCaption());
    EXPECT_EQ(caption.kind, -1); // no whole number: a text box without type check
    const FieldDefinition& field = selection.rows[1];
    EXPECT_EQ(field.kind, 0);
    EXPECT_EQ(field.length, 0);
    EXPECT_EQ(field.fieldWidth, 0);
    EXPECT_EQ(field.labelWidth, 2.5);
    EXPECT_EQ(field.height, 0);
    EXPECT_FALSE(field.lines);
    EXPECT_TRUE(field.required);
    EXPECT_FALSE(field.editable);
}

TEST_F(FieldSelectionTest, InheritedValuesComeFromTheItemRowWhenTheirOwnIsEmpty) {
    Start();
    const auto column = [](const std::string& name) { return fieldforms::ReadItemColumn(name); };
    FieldDefinition row = Field(1, 5, 5);
    row.inheritFrom = "单位名称";
    fieldforms::InputSetup setup = fieldforms::SetUpInput(row, column);
    EXPECT_EQ(setup.value, "某某公司");
    EXPECT_FALSE(setup.enabled); // 是否可编辑 0 or empty: read-only here
    row.value = "自己的";
    row.editable = true;
    row.required = true;
    row.length = 20.4;
    setup = fieldforms::SetUpInput(row, column);
    EXPECT_EQ(setup.value, "自己的");
    EXPECT_TRUE(setup.enabled);
    EXPECT_EQ(setup.toolTip, "字段1*");
    EXPECT_EQ(setup.maxLength, 20);
    row.length = 1;
    EXPECT_EQ(fieldforms::SetUpInput(row, column).maxLength, 1);
    // Long text shows 备注值; a column the item row lacks inherits nothing.
    row.kind = fieldforms::kLongText;
    row.memo = "备注";
    EXPECT_EQ(fieldforms::SetUpInput(row, column).value, "备注");
    row.inheritFrom = "没有这一列";
    row.memo.clear();
    EXPECT_EQ(fieldforms::SetUpInput(row, column).value, "");
    ItemTable[0].序号 = 42; // no 资料模板 row
    EXPECT_EQ(fieldforms::ReadItemColumn("单位名称"), "");
}

} // namespace
