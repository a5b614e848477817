#pragma once
// Scanners behind one seam, like the printers and the dialogs: the program
// uses SANE (scanner_sane.cpp); tests install a fake that gives pages and
// errors on cue.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

struct ScannerDevice {
    std::string name; // what the scanner is opened by ("test:0")
    std::string vendor;
    std::string model;
    std::string label() const { return vendor.empty() ? name : vendor + " " + model; }
};

enum class ScanColour { Colour, Grey, BlackWhite };

struct ScanSettings {
    std::string device;
    int dpi = 200;
    ScanColour colour = ScanColour::Colour;
    bool a4 = true; // false: the scanner's full area
};

// One scanned page, 8 bits a sample: grey (1 channel) or RGB (3), rows
// without padding. Black and white comes as grey; the program thresholds it.
struct ScannedPage {
    int width = 0;
    int height = 0;
    int channels = 0;
    double dpi = 0;
    std::vector<std::uint8_t> pixels;
};

enum class ScanStatus { Ok, Cancelled, Failed };

struct ScanOutcome {
    ScanStatus status = ScanStatus::Failed;
    std::string message; // for the applicant when Failed
    ScannedPage page;
};

// `progress` receives the share done (0..1, or -1 when unknown); `cancel` is
// polled between reads. Both may be called on the worker thread that scans.
struct ScanControl {
    std::function<void(double)> progress;
    const std::atomic<bool>* cancel = nullptr;
    bool cancelled() const { return cancel && cancel->load(); }
};

class Scanner {
  public:
    virtual ~Scanner() = default;
    // The scanners attached now (may take a few seconds).
    virtual std::vector<ScannerDevice> devices() = 0;
    // Scans one page; never throws.
    virtual ScanOutcome scan(const ScanSettings& settings, const ScanControl& control) = 0;
    // Why no scanner can be used at all (the program's scanner component is
    // missing), for the applicant; "" when devices() tells what there is.
    virtual std::string unavailable() { return {}; }
};

// The scanner system the program uses now (SANE unless a test installed one).
Scanner& CurrentScanner();
// The same, kept alive by a caller that may outlive its replacement (a search
// for scanners that nobody waits for).
std::shared_ptr<Scanner> SharedScanner();
std::shared_ptr<Scanner> SetScanner(std::shared_ptr<Scanner> scanner);
// The SANE implementation; a scanner without any device where SANE is
// missing, which says so when the program's scanner module is missing.
std::shared_ptr<Scanner> MakeSaneScanner();

} // namespace platform
