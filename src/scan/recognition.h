#pragma once
// Text recognition of a page: Tesseract in the module "quillor-ocr", opened
// the first time a page is recognised. A recogniser decodes the page's
// source at up to 300 dpi in grey, finds which way up it is, reads its words
// with their boxes and hands back the page's text layer (scan/page_text.h)
// and the turn it found. One recogniser serves one thread.

#include "scan/page_source.h"
#include "scan/page_text.h"

#include <atomic>
#include <memory>
#include <string>

namespace scan {

// Whether recognition can run here; when not, `note` names what to install.
struct OcrSupport {
    bool available = false;
    std::string note;
};
// The module and the language data (chi_sim, eng, osd) in TessdataFolder().
// `module` names the module (tests name one that does not exist).
OcrSupport CheckOcr(const std::string& module = "quillor-ocr");

// A page that takes longer is left without text.
inline constexpr int kRecognitionDeadlineMs = 60000;

enum class OcrOutcome { Done, Stopped, TimedOut, Failed };

struct OcrResult {
    OcrOutcome outcome = OcrOutcome::Failed;
    std::shared_ptr<const PageText> text; // Done: the layer (possibly without words)
    int detected = 0;                     // the clockwise turn found, beyond the file's own
};

class TextRecogniser {
  public:
    explicit TextRecogniser(const std::string& module = "quillor-ocr");
    ~TextRecogniser();
    TextRecogniser(const TextRecogniser&) = delete;
    TextRecogniser& operator=(const TextRecogniser&) = delete;

    bool ready() const { return engine_ != nullptr; }
    const std::string& error() const { return error_; }

    // Recognises a page made from `source` as the file turns it
    // (`fileTurn`), turned further where its text stands on its side or
    // upside down (`detect`). Stops when `cancel` becomes true.
    OcrResult recognise(const PageSource& source, int fileTurn, bool scanned,
                        const std::atomic<bool>* cancel, bool detect = true,
                        int deadlineMs = kRecognitionDeadlineMs);
    // The same for pixels at `dpi` (grey or RGB), as they stand.
    OcrResult recognisePixels(const Raster& pixels, double dpi, const std::atomic<bool>* cancel,
                              bool detect = true, int deadlineMs = kRecognitionDeadlineMs);

  private:
    struct Functions;
    std::unique_ptr<Functions> functions_;
    void* engine_ = nullptr;
    std::string error_;
};

// The pixels turned clockwise by 0, 90, 180 or 270 degrees.
Raster Turned(const Raster& pixels, int turn);

} // namespace scan
