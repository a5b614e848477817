#pragma once
// "压缩...": a smaller copy of the current entry's JPEG or PDF, previewed
// (size before and after, one page of the result) before the applicant
// accepts it. The copy is made on a thread of its own with progress and
// "取消"; it is written under a preview name in "扫描文件" and takes its name
// only on "接受". The original is never changed.

#include "materials/ui/window_parts.h"
#include "scan/shrink.h"

#include <QDialog>

#include <atomic>
#include <optional>
#include <string>

class QBoxLayout;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QThread;

namespace scan::ui {

using ShrinkRequest = materials::ui::ShrinkRequest;

class ShrinkWindow final : public QDialog {
    Q_OBJECT
  public:
    explicit ShrinkWindow(ShrinkRequest request, QWidget* parent = nullptr);
    ~ShrinkWindow() override;

    // Starts the copy with the chosen settings on the worker.
    void start();
    // "识别文字" (a PDF): starts a copy with the text of its pages without
    // text added; accepted like a smaller copy, whatever its size.
    void recogniseText();
    // Waits for the copy under way (for tests); whether it was made.
    bool waitForCopy();
    bool running() const { return thread_ != nullptr; }
    // Stops a copy under way (its preview is removed).
    void stop();
    // Makes the copy and waits for it; false (after a message) when the file
    // is refused or the copy was stopped.
    bool compute();
    void setOptions(int maxDpi, int quality);
    const ShrinkResult& result() const { return result_; }
    const std::string& resultPath() const { return accepted_; }
    // The preview written ("" when none).
    const std::string& previewPath() const { return target_; }
    QString beforeText() const;
    QString afterText() const;
    bool previewShown() const;
    bool canAccept() const;
    void acceptCopy(); // "接受"

    void reject() override;

  private:
    void buildOptions(QBoxLayout* top);
    void buildRecognise();
    void buildButtons(QBoxLayout* top);
    void run(bool text);
    void finished();
    void discardPreview();
    void showPreview();

    ShrinkRequest request_;
    ShrinkResult result_;
    std::string target_;   // the preview being shown
    std::string final_;    // the name it takes on 接受
    std::string accepted_; // the copy accepted
    QComboBox* dpi_ = nullptr;
    QSpinBox* quality_ = nullptr;
    QLabel* before_ = nullptr;
    QLabel* after_ = nullptr;
    QLabel* preview_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* again_ = nullptr;
    QPushButton* recognise_ = nullptr;
    bool text_ = false;         // the copy under way or shown is "识别文字"
    bool textPossible_ = false; // a PDF, and recognition can run here
    QPushButton* accept_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QThread* thread_ = nullptr;
    std::atomic<bool> stop_{false};
};

// Makes and previews the copy; the path of the accepted copy, or nothing.
std::optional<std::string> ShowShrinkWindow(QWidget* parent, const ShrinkRequest& request);

} // namespace scan::ui
