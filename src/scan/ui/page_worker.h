#pragma once
// The scan window's worker: one thread beside the window that reads the
// image files the applicant adds and makes each page's encodings, one page
// and one preset at a time (the chosen preset first), so that the window
// stays responsive while photos are resampled. Results come back on the
// window's thread, through the callbacks given; a page removed meanwhile is
// skipped. Destroying the worker ends its thread after the job at hand.

#include "scan/ui/image_files.h"

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace scan::ui {

class PageWorker final : public QObject {
    Q_OBJECT
  public:
    using Loaded = std::function<void(const std::string& path, std::vector<LoadedPage> pages,
                                      const std::string& error)>;
    using Encoded =
        std::function<void(std::uint64_t page, Quality q, std::shared_ptr<const PdfImage> image,
                           const std::string& error)>;

    PageWorker(Loaded loaded, Encoded encoded, QObject* parent = nullptr);
    ~PageWorker() override;
    PageWorker(const PageWorker&) = delete;
    PageWorker& operator=(const PageWorker&) = delete;

    // Reads an image file (before any encoding waits); a picture decoded
    // whole on the way is encoded for the preferred preset at once.
    void load(const std::string& path);
    // Other work on a page (finding and correcting a photo): runs on the
    // worker after the files waiting, before any encoding; the function it
    // returns runs on the window's thread.
    using Task = std::function<std::function<void()>()>;
    void task(Task work);
    // Makes a page's encoding at q.
    void encode(std::uint64_t page, SourcePtr source, ColourMode mode, bool scanned, Quality q);
    // The preset whose encodings come first.
    void prefer(Quality q) { preferred_ = static_cast<int>(q); }
    // The page's encodings still waiting are not made.
    void drop(std::uint64_t page);
    // Jobs not yet answered (waiting, running or on their way back).
    int outstanding() const { return outstanding_; }
    int filesOutstanding() const { return filesOutstanding_; }

  private:
    struct Job {
        bool file = false;
        std::string path;
        std::uint64_t page = 0;
        SourcePtr source;
        ColourMode mode = ColourMode::Colour;
        bool scanned = false;
        Quality quality = Quality::Standard;
        Task work;
        bool early() const { return file || work; }
    };
    void run();
    void runTask(Job& job);
    void loadFile(const Job& job);
    void encodeJob(Job& job);
    bool next(Job& job);
    void answered(bool file);

    Loaded loaded_;
    Encoded encoded_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    std::set<std::uint64_t> dropped_;
    bool stop_ = false;
    std::atomic<int> preferred_{static_cast<int>(Quality::Standard)};
    int outstanding_ = 0; // on the window's thread only
    int filesOutstanding_ = 0;
    std::thread thread_;
};

} // namespace scan::ui
