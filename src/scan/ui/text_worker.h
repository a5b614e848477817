#pragma once
// The scan window's text recognition: one thread beside the window (and
// beside the page worker) that recognises pages one at a time as they
// arrive, with one Tesseract engine made on its first page. Results come back
// on the window's thread through the callback given. A page dropped while it
// is recognised is stopped through Tesseract's cancel callback; "停止" stops
// the page at hand and forgets the ones waiting. Destroying the worker stops
// and ends its thread.

#include "scan/recognition.h"

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace scan::ui {

class TextWorker final : public QObject {
    Q_OBJECT
  public:
    // `error` is set when the engine cannot start (the result is Failed).
    using Done =
        std::function<void(std::uint64_t page, const OcrResult& result, const std::string& error)>;

    explicit TextWorker(Done done, QObject* parent = nullptr);
    ~TextWorker() override;
    TextWorker(const TextWorker&) = delete;
    TextWorker& operator=(const TextWorker&) = delete;

    void recognise(std::uint64_t page, SourcePtr source, int fileTurn, bool scanned);
    // The page is not recognised (stopped when under way); not answered.
    void drop(std::uint64_t page);
    // Stops the page under way and forgets those waiting (each answered as
    // stopped).
    void stop();
    // Pages asked for and not yet answered.
    int outstanding() const { return outstanding_; }

  private:
    struct Job {
        std::uint64_t page = 0;
        SourcePtr source;
        int fileTurn = 0;
        bool scanned = false;
    };
    void run();

    Done done_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    std::uint64_t running_ = 0; // the page under way (0: none)
    std::atomic<bool> cancel_{false};
    bool stop_ = false;
    int outstanding_ = 0; // on the window's thread only
    std::thread thread_;
};

} // namespace scan::ui
