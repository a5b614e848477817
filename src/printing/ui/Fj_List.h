#pragma once
// Fj_List, the materials list window ("申请材料清单"): the header of the
// application and the numbered titles of the linked files, in a ruled table
// of 28 rows inside the picture box Pic2(1) that is printed. A list longer
// than one table runs over further pages with the same header and numbering
// continued; the window pages through them and prints them all.

#include "twip/printer.h"
#include "twip/ui/twipform.h"

#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace printing::ui {

class Fj_List final : public twip::ui::TwipForm {
    Q_OBJECT
  public:
    explicit Fj_List(QWidget* parent = nullptr);
    ~Fj_List() override;

    // Places the window and fills it from the database and the working copy.
    void Form_Load();
    void LoadListHeader();
    void LoadListFiles(const std::string& path);

    // 0 "打 印", 1 "退 出", 2 "设 置...", 3 "预 览" (the pages "打 印" prints,
    // in the preview window, from which they can also be saved as a PDF).
    void Command1_Click(int index);
    // The page buttons: 0 the page before, 1 the page after.
    void PageBut_Click(int index);

    int pageCount() const;
    int shownPage() const { return page_; }
    void showPage(int page);

    // The printer the window sets up and prints on (the system's default
    // printer until another is given).
    twip::Printer& printer();
    void usePrinter(std::unique_ptr<twip::Printer> printer);

    twip::ui::Control& Pic2() const { return control(QStringLiteral("Pic2"), 1); }
    twip::ui::Control& T1LAB(int i) const { return control(QStringLiteral("T1LAB"), i); }
    twip::ui::Control& XHLab(int i) const { return control(QStringLiteral("XHLab"), i); }
    twip::ui::Control& FJLab(int i) const { return control(QStringLiteral("FJLab"), i); }
    twip::ui::Control& Command1(int i) const { return control(QStringLiteral("Command1"), i); }
    twip::ui::Control& PageBut(int i) const { return control(QStringLiteral("PageBut"), i); }
    twip::ui::Control& PageLab() const { return control(QStringLiteral("PageLab")); }

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void createHeader(twip::ui::Control& pic);
    void createTable(twip::ui::Control& pic);
    void createButtons();
    void fillRows(int page);
    void print();
    void preview();

    std::vector<std::string> titles_;
    int page_ = 0;
    std::unique_ptr<twip::Printer> printer_;
};

// Shows the list of the selected item's linked files modally over `parent`.
// When loading fails, the failure is reported and the window is not shown.
void ShowMaterialsList(QWidget* parent);

} // namespace printing::ui
