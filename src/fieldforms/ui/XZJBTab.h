#pragma once
// XZJBTab, the project-basic-information window ("项目基本信息表"). Its
// fields are not designed into the window: each opening builds them from the
// rows of 项目基本信息 of the selected item, as a ruled table inside the white
// drawing area Pic2(0). Six control arrays hold what the build places:
// Label1 (field labels), Label2 (caption rows), Text1 (text boxes), Combo1
// (drop-down lists), LineV and LineH (vertical and horizontal rules). Element
// 0 of each array exists from the start, hidden; its Tag holds the number of
// elements in use. Each input carries its field name, and "*" when it is
// required, as its tool-tip text.

#include "fieldforms/field_layout.h"
#include "twip/ui/twipform.h"

#include <QPointer>
#include <QScrollArea>

#include <string>

class QWidget;

namespace fieldforms::ui {

class XZJBTab final : public twip::ui::TwipForm {
    Q_OBJECT
  public:
    explicit XZJBTab(QWidget* parent = nullptr);
    ~XZJBTab() override;

    // Builds the form, places the window, shows the built controls and
    // clears dataChanged. Database errors are passed on to the caller.
    void Form_Load();
    void BuildFieldForm();
    void ShowFieldControls();
    std::string ReadItemColumn(const std::string& name) const;

    // 0 "保 存": checks and, when every entry passes, saves. 1 "退 出": closes.
    void Command1_Click(int index);
    bool CheckFields();
    bool SaveFields();
    // Asks before discarding changed entries; false when the user keeps the
    // window open. Otherwise destroys the created elements.
    bool Form_Unload();

    void Text1_Change(int index);
    void Combo1_Click(int index);
    // Up moves the focus to the previous control in tab order, Down and Enter
    // to the next one; the key itself still reaches the text box.
    void Text1_KeyDown(int index, int key);

    bool dataChanged() const { return dataChanged_; }
    // Number of elements of a control array in use (the Tag of element 0).
    int elementCount(const QString& array) const;

    twip::ui::Control& Command1(int i) const { return control(QStringLiteral("Command1"), i); }
    twip::ui::Control& Label4() const { return control(QStringLiteral("Label4")); }
    twip::ui::Control& Label5() const { return control(QStringLiteral("Label5")); }
    twip::ui::Control& Pic2() const { return control(QStringLiteral("Pic2"), 0); }
    twip::ui::Control& Shape1() const { return control(QStringLiteral("Shape1")); }
    twip::ui::Control& Label1(int i) const { return control(QStringLiteral("Label1"), i); }
    twip::ui::Control& Label2(int i) const { return control(QStringLiteral("Label2"), i); }
    twip::ui::Control& Text1(int i) const { return control(QStringLiteral("Text1"), i); }
    twip::ui::Control& Combo1(int i) const { return control(QStringLiteral("Combo1"), i); }
    twip::ui::Control& LineV(int i) const { return control(QStringLiteral("LineV"), i); }
    twip::ui::Control& LineH(int i) const { return control(QStringLiteral("LineH"), i); }
    // The tool-tip text of an input.
    static std::string ToolTipOf(const twip::ui::Control& input);

    // The scrolling frame around Pic2 when the form is taller than the
    // screen; null while the whole window fits.
    QScrollArea* scrollArea() const { return scroll_; }

  protected:
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void createControls();
    twip::ui::Control& nextElement(const QString& array, int index);
    twip::ui::Control& nextTextBox(int index, bool multiLine);
    void watchTextBox(twip::ui::Control& box, int index);
    void watchList(twip::ui::Control& list, int index);
    void placeLabel(twip::ui::Control& label, const FieldDefinition& row, const TwipBox& box);
    void setUpTextBox(twip::ui::Control& box, const FieldDefinition& row, const TwipBox& place);
    void setUpList(twip::ui::Control& list, const FieldDefinition& row, const TwipBox& place);
    void setTabOrder(const FormLayout& layout);
    void fitToScreen(int clientHeight);
    void destroyCreatedElements();

    bool dataChanged_ = false;
    bool unloaded_ = false;
    QPointer<QScrollArea> scroll_;
};

// Builds the form of the selected item and shows it modally over `parent`.
// A failure while the form loads is reported and the window is not shown.
void ShowBasicInformationForm(QWidget* parent);

} // namespace fieldforms::ui
