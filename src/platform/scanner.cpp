#include "platform/scanner.h"

#include "platform/program_module.h"

#include <mutex>

namespace platform {
namespace {

std::mutex& Lock() {
    static std::mutex m;
    return m;
}

std::shared_ptr<Scanner>& Installed() {
    static std::shared_ptr<Scanner> scanner;
    return scanner;
}

class NoScanner final : public Scanner {
  public:
    std::vector<ScannerDevice> devices() override { return {}; }
    ScanOutcome scan(const ScanSettings&, const ScanControl&) override {
        ScanOutcome o;
        o.message = "没有可用的扫描仪。";
        return o;
    }
};

} // namespace

Scanner& CurrentScanner() {
    std::lock_guard<std::mutex> guard(Lock());
    if (!Installed())
        Installed() = MakeSaneScanner();
    return *Installed();
}

std::shared_ptr<Scanner> SharedScanner() {
    std::lock_guard<std::mutex> guard(Lock());
    if (!Installed())
        Installed() = MakeSaneScanner();
    return Installed();
}

std::shared_ptr<Scanner> SetScanner(std::shared_ptr<Scanner> scanner) {
    std::lock_guard<std::mutex> guard(Lock());
    std::shared_ptr<Scanner> previous = std::move(Installed());
    Installed() = std::move(scanner);
    return previous;
}

// SANE and the libraries of its backends live in the module quillor-scanner,
// opened the first time a scan window asks for the scanners.
std::shared_ptr<Scanner> MakeSaneScanner() {
    using Make = std::shared_ptr<Scanner> (*)();
    static const Make make = ModuleFunction<Make>("quillor-scanner", "quillor_make_sane_scanner");
    if (make)
        if (auto scanner = make())
            return scanner;
    return std::make_shared<NoScanner>();
}

} // namespace platform
