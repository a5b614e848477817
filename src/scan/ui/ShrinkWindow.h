#pragma once
// "压缩...": a smaller copy of the current entry's JPEG or PDF, previewed
// (size before and after, one page of the result) before the applicant
// accepts it. The copy goes to "扫描文件"; the original is never changed.

#include "materials/ui/window_parts.h"
#include "scan/shrink.h"

#include <QDialog>

#include <optional>
#include <string>

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace scan::ui {

using ShrinkRequest = materials::ui::ShrinkRequest;

class ShrinkWindow final : public QDialog {
    Q_OBJECT
  public:
    explicit ShrinkWindow(ShrinkRequest request, QWidget* parent = nullptr);
    ~ShrinkWindow() override;

    // Makes the copy with the chosen settings; false (after a message) when
    // the file is refused.
    bool compute();
    void setOptions(int maxDpi, int quality);
    const ShrinkResult& result() const { return result_; }
    const std::string& resultPath() const { return accepted_; }
    QString beforeText() const;
    QString afterText() const;
    bool previewShown() const;
    void acceptCopy(); // "接受"

    void reject() override;

  private:
    void discardPreview();
    void showPreview();

    ShrinkRequest request_;
    ShrinkResult result_;
    std::string target_;   // the copy being previewed
    std::string accepted_; // the copy accepted
    QComboBox* dpi_ = nullptr;
    QSpinBox* quality_ = nullptr;
    QLabel* before_ = nullptr;
    QLabel* after_ = nullptr;
    QLabel* preview_ = nullptr;
    QPushButton* accept_ = nullptr;
};

// Makes and previews the copy; the path of the accepted copy, or nothing.
std::optional<std::string> ShowShrinkWindow(QWidget* parent, const ShrinkRequest& request);

} // namespace scan::ui
