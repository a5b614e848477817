#pragma once
// FrmNote: the help window with the program's fixed help text.

#include "twip/ui/twipform.h"

#include <QPointer>

namespace dialogs::ui {

class FrmNote final : public twip::ui::TwipForm {
    Q_OBJECT
  public:
    explicit FrmNote(QWidget* parent = nullptr);

    void Form_Load();
    void Form_Activate();
    void Form_Resize();

    twip::ui::Control& Text1() const { return control(QStringLiteral("Text1")); }

  protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};

// Shows the help window modeless, keeping it in `window`; when it is already
// open it comes to the front instead.
FrmNote& ShowHelpWindow(QPointer<FrmNote>& window, QWidget* parent);

} // namespace dialogs::ui
