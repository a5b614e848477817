#include "disc/disc.h"

#include "platform/program_module.h"

namespace disc {
namespace {

constexpr const char* kDiscModule = "quillor-disc";

// Stands in for the disc system when its module cannot be opened: no drives,
// and every operation fails naming the missing module.
class MissingDiscSystem final : public DiscSystem {
  public:
    std::optional<std::uint64_t> imageSize(const DiscLayout&, std::string& error) override {
        error = Reason();
        return std::nullopt;
    }
    DiscResult writeImage(const DiscLayout&, ImageSink&, DiscProgress&) override {
        return {DiscStatus::Failed, Reason()};
    }
    std::unique_ptr<DiscVolume> openImage(const std::filesystem::path&,
                                          std::string& error) override {
        error = Reason();
        return nullptr;
    }
    std::vector<DriveInfo> drives() override { return {}; }
    std::unique_ptr<DiscDrive> openDrive(const std::string&, std::string& error) override {
        error = Reason();
        return nullptr;
    }

  private:
    static std::string Reason() { return std::string("缺少程序的光盘组件 ") + kDiscModule; }
};

} // namespace

std::unique_ptr<DiscSystem> OpenDiscSystem() {
    using Open = std::unique_ptr<DiscSystem> (*)();
    static const Open open =
        platform::ModuleFunction<Open>(kDiscModule, "quillor_open_disc_system");
    if (open)
        if (std::unique_ptr<DiscSystem> system = open())
            return system;
    return std::make_unique<MissingDiscSystem>();
}

} // namespace disc
