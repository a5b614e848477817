#pragma once
// "扫描与合并": pages from the scanner and from image files, put in order,
// turned, removed, checked for blank ones, and combined into one PDF for the
// current entry of the materials window.

#include "materials/ui/window_parts.h"
#include "platform/scanner.h"
#include "scan/pages.h"

#include <QDialog>
#include <QPixmap>

#include <atomic>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

class QComboBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QThread;

namespace scan::ui {

// What the materials window asks for its current entry.
using ScanRequest = materials::ui::ScanRequest;

class ScanWindow final : public QDialog {
    Q_OBJECT
  public:
    explicit ScanWindow(ScanRequest request, QWidget* parent = nullptr);
    ~ScanWindow() override;

    const PageList& pages() const { return pages_; }
    // The PDF written by "完成" ("" before).
    const std::string& resultPath() const { return result_; }

    // The window's actions, as its buttons run them.
    void addImages(); // "添加图片..."
    bool addImageFile(const std::string& path);
    void scanPage(bool back); // "扫描一页" / "扫描反面"
    void cancelScan();
    bool busy() const { return worker_ != nullptr; }
    void moveUp();
    void moveDown();
    void rotate();
    void removePage();
    void removeBlankPages(); // "删除空白页"
    void setQuality(Quality q);
    Quality quality() const { return quality_; }
    void finish(); // "完成"
    void selectPage(int index);
    int currentPage() const;

    void setDpi(int dpi);
    void setColour(platform::ScanColour colour);
    void setFullArea(bool full);
    // Devices found (after the search at opening has ended).
    int deviceCount() const;
    bool searching() const { return searching_; }

    QString sizeText() const;
    bool fits() const;
    std::uint64_t estimatedBytes() const { return pages_.estimatedBytes(quality_); }

    void reject() override; // "取消": nothing is written

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void build();
    void findDevices();
    void showDevices(const std::vector<platform::ScannerDevice>& devices);
    void prepareScan(const platform::ScanSettings& settings, const platform::ScanControl& control);
    void scanFinished();
    void refresh(int select);
    void updateSize();
    void updateButtons();
    platform::ScanSettings settings() const;

    ScanRequest request_;
    PageList pages_;
    Quality quality_ = Quality::Standard;
    std::string result_;
    std::map<std::uint64_t, QPixmap> thumbnails_;

    QComboBox* devices_ = nullptr;
    QLabel* deviceNote_ = nullptr;
    QComboBox* dpi_ = nullptr;
    QComboBox* colour_ = nullptr;
    QComboBox* area_ = nullptr;
    QComboBox* quality_box_ = nullptr;
    QListWidget* list_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* size_ = nullptr;
    QLabel* blankNote_ = nullptr;
    QPushButton* scan_ = nullptr;
    QPushButton* scanBack_ = nullptr;
    QPushButton* cancelScan_ = nullptr;
    QPushButton* addImages_ = nullptr;
    QPushButton* up_ = nullptr;
    QPushButton* down_ = nullptr;
    QPushButton* rotate_ = nullptr;
    QPushButton* remove_ = nullptr;
    QPushButton* removeBlank_ = nullptr;
    QPushButton* finish_ = nullptr;
    QPushButton* cancel_ = nullptr;

    QThread* worker_ = nullptr;
    QThread* finder_ = nullptr;
    bool searching_ = false;
    bool scanningBack_ = false;
    std::atomic<bool> cancel_flag_{false};
    platform::ScanOutcome outcome_;
    std::optional<Page> scanned_;
    std::vector<platform::ScannerDevice> found_;
    std::string unavailable_; // why no scanner can be used at all
};

// Shows the window modally; the path of the PDF written, or nothing when the
// applicant cancelled.
std::optional<std::string> ShowScanWindow(QWidget* parent, const ScanRequest& request);

} // namespace scan::ui
