#pragma once
// XZSPTab, the administrative-approval application form ("行政审批申请书")
// of the selected item: a ruled table like the paper form, inside the white
// picture box Pic2(0) that "打 印" puts on an A4 page. Every input is bound
// by its tool-tip text to a column of the item's row of 资料模板.

#include "twip/printer.h"
#include "twip/ui/twipform.h"

#include <QStringList>

class QWidget;

namespace printing::ui {

class XZSPTab final : public twip::ui::TwipForm {
    Q_OBJECT
  public:
    explicit XZSPTab(QWidget* parent = nullptr);
    ~XZSPTab() override;

    // Places the window, loads the item's row; the edits made by loading do
    // not count as changes.
    void Form_Load();
    void LoadApplication();
    // Enables the group of the selected applicant type; the other group is
    // emptied and disabled. Nothing changes while neither type is selected.
    void ApplyApplicantType();
    // Shows every fault in one "错误提示" box; true when the form may be saved.
    bool CheckApplication();
    // Writes the form; true when it was stored.
    bool SaveApplication();

    // 0 "保 存", 1 "打 印", 2 "退 出", 3 "预 览" (the printed page in the
    // preview window, from which it can also be saved as a PDF).
    void Command1_Click(int index);
    // Asks before unsaved changes are dropped; true when the window may close.
    bool Form_Unload();

    // True after any edit since the window was loaded or last saved.
    bool hasUnsavedChanges() const { return dataChanged; }
    // Prints on this printer (a PDF file, say) instead of the system's default one.
    void usePrinter(twip::Printer* printer) { printer_ = printer; }

    twip::ui::Control& Text1(int i) const { return control(QStringLiteral("Text1"), i); }
    twip::ui::Control& Text2(int i) const { return control(QStringLiteral("Text2"), i); }
    twip::ui::Control& Text3() const { return control(QStringLiteral("Text3")); }
    twip::ui::Control& Combo1() const { return control(QStringLiteral("Combo1")); }
    twip::ui::Control& Option1(int i) const { return control(QStringLiteral("Option1"), i); }
    twip::ui::Control& Check1(int i) const { return control(QStringLiteral("Check1"), i); }
    twip::ui::Control& Label1(int i) const { return control(QStringLiteral("Label1"), i); }
    twip::ui::Control& Label2(int i) const { return control(QStringLiteral("Label2"), i); }
    twip::ui::Control& Label3() const { return control(QStringLiteral("Label3")); }
    twip::ui::Control& Command1(int i) const { return control(QStringLiteral("Command1"), i); }

    static const QColor EditableColor; // RGB(224,224,224)
    static const QColor DisabledColor; // RGB(240,240,240)
    static const QColor RequiredColor; // RGB(255,0,0)

  protected:
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void createControls();
    void createApplicantRows();
    void createLowerRows();
    void createRuling();
    void createTabOrder();
    void connectHandlers();

    void Text2_Change(int index);
    void Option1_Click(int index);
    void preview();
    void setInputText(twip::ui::Control& input, const QString& text);
    void setGroupState(const QString& texts, const QString& labels, int count, bool active,
                       int requiredCount);

    bool dataChanged = false;
    twip::Printer* printer_ = nullptr;
    // What each group holds while it is not the active one: the loaded row,
    // then what the group held when the applicant type was switched away
    // from it. Switching to a group fills it from here.
    QStringList keptIndividual_;
    QStringList keptUnit_;
    int activeGroup_ = -1; // 0 unit, 1 individual, -1 none yet
};

// Loads the selected item's application form and shows it modally over
// `parent`; a form that fails to load is reported and not shown.
void ShowApplicationForm(QWidget* parent);

} // namespace printing::ui
