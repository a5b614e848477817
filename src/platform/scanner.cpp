#include "platform/scanner.h"

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

std::shared_ptr<Scanner> SetScanner(std::shared_ptr<Scanner> scanner) {
    std::lock_guard<std::mutex> guard(Lock());
    std::shared_ptr<Scanner> previous = std::move(Installed());
    Installed() = std::move(scanner);
    return previous;
}

#ifdef _WIN32
std::shared_ptr<Scanner> MakeSaneScanner() {
    return std::make_shared<NoScanner>();
}
#else
// Defined in scanner_sane.cpp.
std::shared_ptr<Scanner> MakeSaneScannerImpl();
std::shared_ptr<Scanner> MakeSaneScanner() {
    if (auto s = MakeSaneScannerImpl())
        return s;
    return std::make_shared<NoScanner>();
}
#endif

} // namespace platform
