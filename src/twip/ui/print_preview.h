#pragma once
// The print preview window: the pages that "打 印" would print, drawn by the
// same engine onto the same printer, with buttons to print them, to save
// them as a PDF file, to zoom and to close. The program shows it through the
// prompter (Prompter::printPreview), so tests never meet the dialog itself.

#include "platform/prompter.h"

#include <QDialog>

#include <memory>

class QPrintPreviewWidget;
class QPushButton;

namespace twip::ui {

class QtPrinter;

class PrintPreview final : public QDialog {
    Q_OBJECT
  public:
    explicit PrintPreview(platform::PreviewRequest request, QWidget* parent = nullptr);
    ~PrintPreview() override;

    QPrintPreviewWidget& previewWidget() const { return *preview_; }
    int pageCount() const;
    // "保存PDF...": asks for the file through the prompter and writes the
    // pages into it. True when the file was written.
    bool savePdf();
    // "打 印": the window's own print action, then the preview closes.
    void print();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QPushButton* addButton(const char* name, const char* caption);

    platform::PreviewRequest request_;
    std::unique_ptr<QtPrinter> ownPrinter_; // when the request names none
    QtPrinter* printer_ = nullptr;
    QPrintPreviewWidget* preview_ = nullptr; // child
};

} // namespace twip::ui
