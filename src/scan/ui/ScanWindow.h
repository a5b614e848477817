#pragma once
// "扫描与合并": pages from the scanner and from image files, put in order,
// turned, removed, checked for blank ones, and combined into one PDF for the
// current entry of the materials window.
//
// The window's code is in five files: ScanWindow.cpp (the pages and the
// end), scan_window_layout.cpp (the controls), scan_window_scanner.cpp (the
// scanners), scan_window_text.cpp (text recognition) and
// scan_window_photo.cpp (photos: the page found and corrected, cleaning,
// undo); the reading and encoding of pages and the correction of photos run
// on a PageWorker, recognition on a TextWorker.

#include "materials/ui/window_parts.h"
#include "platform/scanner.h"
#include "scan/pages.h"
#include "scan/photo.h"
#include "scan/recognition.h"

#include <QDialog>
#include <QPixmap>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class QBoxLayout;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QThread;
class QVBoxLayout;

namespace scan::ui {

class PageWorker;
class TextWorker;
struct LoadedPage;

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
    // Reads the file on the worker; its pages (or a message) follow.
    void addImageFile(const std::string& path);
    // Until the worker has answered everything asked of it (for tests and "完成").
    void waitForPages();
    void scanPage(bool back); // "扫描一页" / "扫描反面"
    void cancelScan();
    bool busy() const { return scanner_ != nullptr; }
    void moveUp();
    void moveDown();
    void rotate();
    void removePage();
    void removeBlankPages(); // "删除空白页", after a question naming them
    void setQuality(Quality q);
    Quality quality() const { return quality_; }
    void finish(); // "完成"
    void selectPage(int index);
    int currentPage() const;
    // The thumbnail shown for a page (turned as it will be written).
    QPixmap thumbnail(int index) const;

    // Photos: an added photo is corrected on the worker when its page is
    // found with confidence. "调整页面..." opens the corner editor on the
    // current page; the corners it gives are applied with applyCorners.
    void adjustPage();
    void applyCorners(int index, const Corners& corners);
    void undoCorrection(); // "撤销校正" of the current page
    // "清理": the current page, or every page made from a photo.
    void setCleaning(Cleaning cleaning, bool allPages);
    // What the page's list entry says about its photo ("" for other pages).
    static QString PhotoNote(const Page& page);

    void setDpi(int dpi);
    void setColour(platform::ScanColour colour);
    void setFullArea(bool full);
    // Devices found (after the search at opening has ended).
    int deviceCount() const;
    bool searching() const { return searching_; }

    QString sizeText() const;
    bool fits() const;
    std::uint64_t estimatedBytes() const;

    // "识别文字（便于审批机关检索）": on by default where recognition can run.
    bool recognising() const;
    void setRecognising(bool on);
    // "停止": the page under way and those waiting stay without text.
    void stopRecognition();
    // Pages whose text is still awaited.
    int textLeft() const;
    // Until every page asked for is recognised (for tests).
    void waitForText();
    // The note under the box (what to install, pages left without text).
    QString textNote() const;

    // "取消" and the close box: scanned pages are not thrown away without a
    // question; nothing is written.
    void reject() override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void build();
    void buildScannerSettings(QBoxLayout* top);
    void buildScanActions(QBoxLayout* top);
    void buildPageList(QBoxLayout* top);
    void buildOutput(QBoxLayout* top);
    void connectControls();
    void findDevices();
    void showDevices(const std::vector<platform::ScannerDevice>& devices);
    void prepareScan(const platform::ScanSettings& settings, const platform::ScanControl& control);
    void scanFinished();
    void pagesLoaded(const std::string& path, std::vector<LoadedPage> pages,
                     const std::string& error);
    void pageEncoded(std::uint64_t id, Quality q, std::shared_ptr<const PdfImage> image,
                     const std::string& error);
    void addPage(Page page, const Raster& preview, bool back);
    void encodeAll(std::uint64_t id);
    void buildPhotoControls(QVBoxLayout* column);
    void findPhotoPage(std::uint64_t id);
    void correctPhoto(std::uint64_t id, const Corners& corners, Cleaning cleaning);
    // Puts `page` in place of the page `id` (a new id; encodings asked again).
    void replacePage(std::uint64_t id, Page page, const Raster* preview);
    // The page's place, following its replacements.
    std::optional<std::size_t> indexOf(std::uint64_t id) const;
    bool confirmDiscard();
    void buildText(QBoxLayout* layout);
    void recogniseNew(std::uint64_t id);
    void textDone(std::uint64_t id, const OcrResult& result, const std::string& error);
    void forgetText(std::uint64_t id);
    void updateText();
    void refresh(int select);
    void updateSize();
    void updateButtons();
    platform::ScanSettings settings() const;

    ScanRequest request_;
    PageList pages_;
    Quality quality_ = Quality::Standard;
    std::string result_;
    std::map<std::uint64_t, QPixmap> thumbnails_;          // unturned
    std::map<const PageSource*, QPixmap> photoThumbnails_; // photos as added, for undo
    // Pages put in place of others (replacePage): old id -> new id, so that
    // work asked for under the old id reaches the page.
    std::map<std::uint64_t, std::uint64_t> replaced_;
    std::unique_ptr<PageWorker> worker_;
    std::unique_ptr<TextWorker> text_;
    std::set<std::uint64_t> textWaiting_;  // pages asked of the text worker
    std::set<std::uint64_t> textTimedOut_; // left without text: over the deadline
    std::string textUnavailable_;          // why recognition cannot run ("" when it can)

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
    QLabel* working_ = nullptr;
    QCheckBox* recognise_ = nullptr;
    QLabel* textNote_ = nullptr;
    QPushButton* stopText_ = nullptr;
    QPushButton* scan_ = nullptr;
    QPushButton* scanBack_ = nullptr;
    QPushButton* cancelScan_ = nullptr;
    QPushButton* addImages_ = nullptr;
    QPushButton* up_ = nullptr;
    QPushButton* down_ = nullptr;
    QPushButton* rotate_ = nullptr;
    QPushButton* remove_ = nullptr;
    QPushButton* removeBlank_ = nullptr;
    QComboBox* cleaning_ = nullptr;
    QPushButton* cleanAll_ = nullptr;
    QPushButton* adjust_ = nullptr;
    QPushButton* undo_ = nullptr;
    QPushButton* finish_ = nullptr;
    QPushButton* cancel_ = nullptr;

    // The scan of one page; the search for scanners runs on a thread of its
    // own that the window never waits for (network scanners can take their
    // time-outs): what it finds goes through `search_`, which it shares.
    QThread* scanner_ = nullptr;
    struct Search;
    std::shared_ptr<Search> search_;
    bool searching_ = false;
    bool scanningBack_ = false;
    bool finishing_ = false;
    std::atomic<bool> cancel_flag_{false};
    // Set by the scan's thread after its last write to outcome_ and
    // scanned_, read by the window before it reads them: the hand-over in
    // the program's own terms, not only through Qt's finished signal.
    std::atomic<bool> scanDone_{false};
    platform::ScanOutcome outcome_;
    std::optional<Page> scanned_;
    std::string unavailable_; // why no scanner can be used at all
    Raster scannedPreview_;
};

// Shows the window modally; the path of the PDF written, or nothing when the
// applicant cancelled.
std::optional<std::string> ShowScanWindow(QWidget* parent, const ScanRequest& request);

} // namespace scan::ui
