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
    explicit NoScanner(std::string why = {}) : why_(std::move(why)) {}
    std::vector<ScannerDevice> devices() override { return {}; }
    ScanOutcome scan(const ScanSettings&, const ScanControl&) override {
        ScanOutcome o;
        o.message = why_.empty() ? "没有可用的扫描仪。" : why_;
        return o;
    }
    std::string unavailable() override { return why_; }

  private:
    std::string why_;
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
    if (!make)
        return std::make_shared<NoScanner>(
            "本程序的扫描组件（quillor-scanner）缺失，无法使用扫描仪，请重新安装本程序。");
    if (auto scanner = make())
        return scanner;
    return std::make_shared<NoScanner>();
}

} // namespace platform
