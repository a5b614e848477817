#pragma once
// A test window in the manner of the application form: a white picture box
// Pic2(0) holding every control kind and print code the engine knows, ruled
// like a table. Used by the print tests and by the page screenshot.

#include "twip/ui/twipform.h"

#include <QString>

namespace printing::testing {

using twip::ui::Control;
using twip::ui::ControlKind;
using twip::ui::FontSpec;
using twip::ui::TextAlign;
using twip::ui::TwipForm;

struct SampleForm {
    TwipForm form;
    Control* pic2 = nullptr;

    SampleForm() {
        form.setCaption("打印测试");
        form.setClientSize(8205, 8820);
        pic2 = &form.add(ControlKind::PictureBox, "Pic2", {0, 600, 8205, 8220}, nullptr, 0);
        pic2->setBackColor(Qt::white);
        form.add(ControlKind::CommandButton, "Command1", {5850, 120, 910, 375}, nullptr, 1)
            .setText("打 印");

        label("Label5", -1, "行政审批申请书", {0, 240, 8145, 465}, {"楷体_GB2312", 21.75, true},
              TextAlign::Center)
            .setTag("ZN楷体_GB2312,ZS21.75");
        option(0, "单位申请", {330, 930, 1200, 240}, true);
        option(1, "个人申请", {1800, 930, 1200, 240}, false);

        label("Label1", 0, "姓    名", {540, 1290, 1290, 195});
        text("Text1", 0, "张三", {1860, 1260, 1425, 270}, TextAlign::Center);
        label("Label1", 1, "身份证号码", {3330, 1290, 1575, 195});
        text("Text1", 1, "110101190001011237", {4950, 1260, 2985, 270}).setTag("MT30");
        label("Label1", 2, "住    址", {540, 1650, 1290, 195});
        text("Text1", 2, "北京市东城区和平里街道一号院三号楼四单元五层六号",
             {1860, 1620, 6075, 270});
        label("Label1", 3, "联系电话", {540, 2010, 1290, 195});
        text("Text1", 3, "", {1860, 1980, 3855, 270}).setTag("X");
        label("Label1", 4, "邮  编", {5760, 2010, 1005, 195}).setTag("ZS12");
        text("Text1", 4, "100011", {6810, 1980, 1125, 270}, TextAlign::Center).setTag("P,XL");

        label("Label2", 0, "单 位 名 称", {540, 2370, 1290, 195}).setTag("F");
        text("Text2", 0, "地质灾害危险性评估研究院", {1860, 2340, 3855, 270});
        label("Label2", 1, "填报日期", {5760, 2370, 1005, 195});
        text("Text2", 1, "2008-5-1", {6810, 2340, 1125, 270}, TextAlign::Center).setTag("D");
        label("Label2", 2, "隐藏说明", {540, 2730, 1290, 195}).setVisible(false);
        label("Label2", 3, "备注(显示)", {540, 3090, 1290, 195}).setTag("[V]");
        form.control("Label2", 3).setVisible(false);

        Control& remarks = form.addMultiLineTextBox("Text4", {1860, 2700, 6075, 630}, pic2);
        remarks.setFont(TextFont());
        remarks.setText("本申请书所填内容真实有效，申请人对所提交材料的真实性负责，"
                        "如有虚假愿承担相应的法律责任。");

        label("Label1", 10, "行 政 区 域", {150, 3510, 2100, 195});
        Control& combo = form.add(ControlKind::ComboBox, "Combo1", {2310, 3450, 3465, 330}, pic2);
        combo.setFont(TextFont());
        combo.addItem("110000 北京市");
        combo.addItem("120000 天津市");
        combo.setListIndex(0);
        combo.setTag("Y");

        label("Label1", 11, "审批结果通知和接收方式", {510, 3930, 1290, 435});
        check(0, "短信通知", {2430, 3900, 1305, 225}, true);
        check(1, "电话通知", {3810, 3900, 1305, 225}, false);
        check(3, "邮 寄", {2430, 4200, 1305, 225}, false);
        label("Label1", 13, "详见 申报资料清单", {3750, 4710, 2400, 225})
            .setAlignment(TextAlign::Left);

        form.add(ControlKind::Shape, "Shape1", {150, 1200, 7875, 3795}, pic2);
        for (int y : {1560, 1920, 2280, 2640, 3360, 3840, 4470})
            form.addLine("Line2", {150, y, 8025, y}, pic2, y);
        form.addLine("Line1", {1800, 1200, 1800, 3360}, pic2, 0);
        form.addLine("Line1", {2250, 3360, 2250, 4995}, pic2, 1);
    }

    static FontSpec TextFont() { return {"宋体", 10.5, false}; }
    static FontSpec LabelFont() { return {"仿宋_GB2312", 10.5, false}; }

    Control& label(const QString& name, int index, const QString& caption,
                   const twip::ui::TwipRect& rect, const FontSpec& font = LabelFont(),
                   TextAlign align = TextAlign::Center) {
        Control& c = form.add(ControlKind::Label, name, rect, pic2, index);
        c.setFont(font);
        c.setAlignment(align);
        c.setText(caption);
        return c;
    }
    Control& text(const QString& name, int index, const QString& value,
                  const twip::ui::TwipRect& rect, TextAlign align = TextAlign::Left) {
        Control& c = form.add(ControlKind::TextBox, name, rect, pic2, index);
        c.setFont(TextFont());
        c.setAlignment(align);
        c.setText(value);
        return c;
    }
    Control& option(int index, const QString& caption, const twip::ui::TwipRect& rect, bool on) {
        Control& c = form.add(ControlKind::OptionButton, "Option1", rect, pic2, index);
        c.setFont(TextFont());
        c.setText(caption);
        c.setChecked(on);
        return c;
    }
    Control& check(int index, const QString& caption, const twip::ui::TwipRect& rect, bool on) {
        Control& c = form.add(ControlKind::CheckBox, "Check1", rect, pic2, index);
        c.setFont(TextFont());
        c.setText(caption);
        c.setChecked(on);
        return c;
    }
};

} // namespace printing::testing
