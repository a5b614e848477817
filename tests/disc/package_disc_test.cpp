// Disc images and burning of a package: round trips with Chinese names read
// back by an independent reader (xorriso), the pseudo-drive "stdio:" + path,
// refusals before anything is written, cancelling at every stage, and
// nothing half-written left under the chosen name.

#include "disc/disc.h"
#include "disc/package_disc.h"
#include "materials/manifest_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <map>

using namespace materials_test;
using disc::DiscOutcome;
using disc::DiscPhase;
using Status = disc::DiscOutcome::Status;

namespace {

// Plays the user: cancels at a given phase once `after` bytes are done.
class Observer final : public disc::DiscObserver {
  public:
    std::optional<DiscPhase> cancelIn;
    std::uint64_t after = 0;
    std::function<void(DiscPhase)> onPhase;
    std::vector<DiscPhase> phases;
    std::uint64_t lastDone = 0, lastTotal = 0;

    void phase(DiscPhase p) override {
        phases.push_back(p);
        if (onPhase)
            onPhase(p);
    }
    void progress(std::uint64_t done, std::uint64_t total) override {
        lastDone = done;
        lastTotal = total;
    }
    bool cancelRequested() override {
        return cancelIn && !phases.empty() && phases.back() == *cancelIn && lastDone >= after;
    }
};

// An image target that runs out of room or claims to have little; what
// became of it is kept in `log`, which outlives the sink.
struct SinkLog {
    bool opened = false, discarded = false, finished = false;
};
class FakeSink final : public disc::ImageSink {
  public:
    explicit FakeSink(SinkLog& log) : log_(log) { log_.opened = true; }
    std::uint64_t room = std::uint64_t{1} << 40;
    std::uint64_t failAfter = ~std::uint64_t{0};
    std::uint64_t written = 0;

    std::uint64_t available() const override { return room; }
    std::error_code write(const void*, std::size_t size) override {
        if (written + size > failAfter)
            return std::make_error_code(std::errc::no_space_on_device);
        written += size;
        return {};
    }
    std::error_code finish() override {
        log_.finished = true;
        return {};
    }
    void discard() override { log_.discarded = true; }

  private:
    SinkLog& log_;
};

// A drive with a given medium that counts its burns.
class FakeDrive final : public disc::DiscDrive {
  public:
    disc::MediumInfo info;
    int burns = 0;
    disc::MediumInfo medium() override { return info; }
    disc::DiscResult burn(const disc::DiscLayout&, disc::DiscProgress&) override {
        ++burns;
        return {disc::DiscStatus::Done, {}};
    }
    std::unique_ptr<disc::DiscVolume> readBack(std::string& error) override {
        error = "no volume";
        return nullptr;
    }
};

int Shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str());
}

std::string Quoted(const fs::path& path) {
    return "'" + U8(path) + "'";
}

// Every file below the folder: path relative to it → content.
std::map<std::string, std::string> Files(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.is_regular_file())
            files[U8(e.path().lexically_relative(folder))] = ReadBytes(e.path());
    return files;
}

class PackageDiscTest : public TempFolderTest {
  protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        system_ = disc::OpenDiscSystem();
    }

    // A package folder with Chinese names up to the Joliet limit.
    disc::DiscLayout Package() {
        std::string longName;
        for (int i = 0; i < 60; ++i)
            longName += "长";
        longName += ".pdf"; // 64 characters
        const std::vector<std::pair<std::string, std::string>> files = {
            {"APLPKG.XML", "<offer/>"},
            {"材料清单.txt", "清单"},
            {"营业执照/营业执照（副本） 第1页.JPG", std::string(3 << 20, 'j')},
            {"其他材料/" + longName, "long name"},
            {"其他材料/空文件.txt", ""},
        };
        disc::DiscLayout layout{disc::DiscVolumeName("甲级资质申请变更"), {}};
        for (const auto& [path, content] : files) {
            WriteBytes(dir_ / "包" / platform::PathFromUtf8(path), content);
            layout.files.push_back(
                {path, dir_ / "包" / platform::PathFromUtf8(path), content.size()});
        }
        return layout;
    }

    // Extracts a tree of the image (or pseudo-drive file) with xorriso.
    std::map<std::string, std::string> Extract(const fs::path& image, bool joliet) {
        const fs::path out = dir_ / (joliet ? "joliet" : "rr");
        fs::remove_all(out);
        const std::string trees = joliet ? "-rockridge off -joliet on" : "-rockridge on";
        EXPECT_EQ(Shell("xorriso -osirrox on -local_charset UTF-8 " + trees + " -indev " +
                        Quoted(image) + " -extract / " + Quoted(out)),
                  0);
        return Files(out);
    }

    std::string VolumeId(const fs::path& image) {
        const fs::path out = dir_ / "pvd.txt";
        std::system(("xorriso -local_charset UTF-8 -indev " + Quoted(image) + " -pvd_info > " +
                     Quoted(out) + " 2>/dev/null")
                        .c_str());
        const std::string text = ReadBytes(out);
        const std::string key = "Volume Id    : ";
        const std::size_t at = text.find(key);
        return at == std::string::npos
                   ? ""
                   : text.substr(at + key.size(), text.find('\n', at) - at - key.size());
    }

    void ExpectSameAsFolder(const std::map<std::string, std::string>& disc,
                            const disc::DiscLayout& layout) {
        std::map<std::string, std::string> expected;
        for (const disc::DiscFile& f : layout.files)
            expected[f.discPath] = ReadBytes(f.source);
        EXPECT_EQ(disc.size(), expected.size());
        for (const auto& [path, content] : expected) {
            const auto found = disc.find(path);
            ASSERT_NE(found, disc.end()) << path;
            EXPECT_TRUE(found->second == content) << path;
        }
    }

    std::unique_ptr<disc::DiscSystem> system_;
};

TEST_F(PackageDiscTest, ImageRoundTripKeepsEveryNameAndByte) {
    const disc::DiscLayout layout = Package();
    const fs::path image = dir_ / "光盘.iso";
    Observer observer;
    const DiscOutcome outcome = disc::WriteDiscImage(*system_, layout, image, observer);
    ASSERT_TRUE(outcome.good()) << outcome.message;
    EXPECT_NE(outcome.message.find("读回校验无误"), std::string::npos);
    EXPECT_EQ(observer.phases, (std::vector<DiscPhase>{DiscPhase::Writing, DiscPhase::Verifying}));
    EXPECT_TRUE(fs::exists(image));
    EXPECT_FALSE(fs::exists(dir_ / "光盘.iso.part~"));
    EXPECT_EQ(fs::file_size(image) % disc::kDiscBlock, 0u);

    ExpectSameAsFolder(Extract(image, true), layout);  // what Windows reads
    ExpectSameAsFolder(Extract(image, false), layout); // what other systems read
    // The primary descriptor in d-characters, the Chinese name in Joliet.
    EXPECT_EQ(VolumeId(image), "APLPKG");
    std::string error;
    const auto volume = system_->openImage(image, error);
    ASSERT_TRUE(volume) << error;
    EXPECT_EQ(volume->jolietVolumeName(), "甲级资质申请变更");
    EXPECT_EQ(volume->primaryVolumeName(), "APLPKG");
}

TEST_F(PackageDiscTest, ThePrimaryVolumeIdentifierHoldsOnlyDCharacters) {
    disc::DiscLayout layout = Package();
    layout.primaryVolumeId = disc::PrimaryVolumeId(0); // APLPKG_19700101 (local date)
    Observer observer;
    ASSERT_TRUE(disc::WriteDiscImage(*system_, layout, dir_ / "日期.iso", observer).good());
    EXPECT_EQ(VolumeId(dir_ / "日期.iso").substr(0, 9), "APLPKG_19");
    EXPECT_EQ(disc::DCharacters("ab-c 甲_9"), "AB_C_____9"); // 甲 is three bytes
}

TEST_F(PackageDiscTest, PseudoDriveBurnIsReadBackAndRefusedTheSecondTime) {
    const disc::DiscLayout layout = Package();
    const fs::path medium = dir_ / "刻录.iso";
    std::string error;
    {
        std::unique_ptr<disc::DiscDrive> drive = system_->openDrive("stdio:" + U8(medium), error);
        ASSERT_TRUE(drive) << error;
        EXPECT_EQ(drive->medium().state, disc::MediumState::Blank);
        Observer observer;
        const DiscOutcome outcome = disc::BurnDisc(*system_, *drive, layout, observer);
        ASSERT_TRUE(outcome.good()) << outcome.message;
        EXPECT_EQ(observer.phases,
                  (std::vector<DiscPhase>{DiscPhase::Writing, DiscPhase::Verifying}));
        EXPECT_EQ(observer.lastDone, observer.lastTotal);
    }
    ExpectSameAsFolder(Extract(medium, true), layout);
    ExpectSameAsFolder(Extract(medium, false), layout);
    EXPECT_EQ(VolumeId(medium), "APLPKG");

    // The medium now holds a volume: not blank, nothing written over it.
    const std::string before = ReadBytes(medium);
    std::unique_ptr<disc::DiscDrive> again = system_->openDrive("stdio:" + U8(medium), error);
    ASSERT_TRUE(again) << error;
    Observer observer;
    const DiscOutcome refused = disc::BurnDisc(*system_, *again, layout, observer);
    EXPECT_EQ(refused.status, Status::Refused);
    EXPECT_EQ(refused.message, "光盘不是空白盘（已有数据），请换一张空白光盘。");
    EXPECT_TRUE(observer.phases.empty());
    again.reset();
    EXPECT_TRUE(ReadBytes(medium) == before);
}

TEST_F(PackageDiscTest, CancellingAtEveryStageLeavesNothingCalledGood) {
    const disc::DiscLayout layout = Package();
    for (DiscPhase phase : {DiscPhase::Writing, DiscPhase::Verifying}) {
        SCOPED_TRACE(int(phase));
        const fs::path image = dir_ / "取消.iso";
        Observer observer;
        observer.cancelIn = phase;
        observer.after = 1;
        const DiscOutcome outcome = disc::WriteDiscImage(*system_, layout, image, observer);
        EXPECT_EQ(outcome.status, Status::Cancelled);
        EXPECT_FALSE(fs::exists(image));
        EXPECT_FALSE(fs::exists(dir_ / "取消.iso.part~"));
    }
    {
        const fs::path medium = dir_ / "取消刻录.iso";
        std::string error;
        std::unique_ptr<disc::DiscDrive> drive = system_->openDrive("stdio:" + U8(medium), error);
        ASSERT_TRUE(drive) << error;
        Observer observer;
        observer.cancelIn = DiscPhase::Writing;
        const DiscOutcome outcome = disc::BurnDisc(*system_, *drive, layout, observer);
        EXPECT_EQ(outcome.status, Status::Cancelled);
        EXPECT_EQ(outcome.message, "刻录已取消，光盘未写入。");
        EXPECT_TRUE(!fs::exists(medium) || fs::file_size(medium) == 0);
    }
}

TEST_F(PackageDiscTest, AFolderChangedWhileWritingIsNotCalledGood) {
    const disc::DiscLayout layout = Package();
    const fs::path image = dir_ / "改动.iso";
    Observer observer;
    // Same size, other content: only the comparison of the bytes finds it.
    observer.onPhase = [&](DiscPhase p) {
        if (p == DiscPhase::Verifying)
            WriteBytes(layout.files[2].source, std::string(3 << 20, 'k'));
    };
    const DiscOutcome outcome = disc::WriteDiscImage(*system_, layout, image, observer);
    EXPECT_EQ(outcome.status, Status::Mismatch);
    EXPECT_NE(
        outcome.message.find("文件内容与申报资料目录中的不同：营业执照/营业执照（副本） 第1页.JPG"),
        std::string::npos)
        << outcome.message;
    EXPECT_FALSE(fs::exists(image));

    // A file of the layout gone before writing: nothing is written.
    fs::remove(layout.files[3].source);
    Observer second;
    const DiscOutcome gone = disc::WriteDiscImage(*system_, layout, image, second);
    EXPECT_EQ(gone.status, Status::Failed);
    EXPECT_TRUE(second.phases.empty());
    EXPECT_FALSE(fs::exists(image));
}

// Refused before anything is written: too large for a DVD (a sparse file:
// nothing of its 5 GB is written or read), too little room at the target.
// A target that fills up while written is discarded.
TEST_F(PackageDiscTest, RoomIsCheckedBeforeWritingAndAFullTargetIsDiscarded) {
    disc::DiscLayout layout = Package();
    struct Case {
        const char* what;
        bool huge;
        std::uint64_t room;
        std::uint64_t failAfter;
        Status status;
        std::string messageStart;
        bool opened;
    };
    const Case cases[] = {
        {"5 GB", true, std::uint64_t{1} << 40, ~std::uint64_t{0}, Status::Refused,
         "光盘内容共5124M，超过单层DVD光盘的容量（4483M），未制作映像文件。", false},
        {"no room", false, 1 << 20, ~std::uint64_t{0}, Status::Refused,
         "目标磁盘空间不足：映像文件需要", true},
        {"fills up", false, std::uint64_t{1} << 40, 1 << 20, Status::Failed,
         "目标磁盘空间已满，映像文件未生成。", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        disc::DiscLayout l = layout;
        if (c.huge) {
            const fs::path big = dir_ / "包" / "录像.bin";
            WriteBytes(big, "");
            fs::resize_file(big, std::uint64_t{5} << 30);
            l.files.push_back({"其他材料/录像.bin", big, std::uint64_t{5} << 30});
        }
        SinkLog log;
        const auto open = [&](const fs::path&, std::error_code&) {
            auto made = std::make_unique<FakeSink>(log);
            made->room = c.room;
            made->failAfter = c.failAfter;
            return std::unique_ptr<disc::ImageSink>(std::move(made));
        };
        Observer observer;
        const DiscOutcome outcome =
            disc::WriteDiscImage(*system_, l, dir_ / "满.iso", observer, open);
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_EQ(outcome.message.rfind(c.messageStart, 0), 0u) << outcome.message;
        EXPECT_EQ(log.opened, c.opened);
        EXPECT_EQ(log.discarded, c.opened);
        EXPECT_FALSE(log.finished);
        EXPECT_FALSE(fs::exists(dir_ / "满.iso"));
    }
}

TEST_F(PackageDiscTest, TheMediumIsCheckedBeforeBurning) {
    const disc::DiscLayout layout = Package();
    using disc::MediumState;
    const struct {
        MediumState state;
        std::uint64_t free;
        std::string message;
    } cases[] = {
        {MediumState::NoMedium, 0, "刻录机中没有光盘，请放入一张空白光盘。"},
        {MediumState::Written, 0, "光盘不是空白盘（已有数据），请换一张空白光盘。"},
        {MediumState::Unsuitable, 0, "这张光盘不能由该刻录机写入，请换一张空白光盘。"},
        {MediumState::Blank, 1 << 20, "光盘空间不足：需要"},
    };
    for (const auto& c : cases) {
        FakeDrive drive;
        drive.info.state = c.state;
        drive.info.freeBytes = c.free;
        Observer observer;
        const DiscOutcome outcome = disc::BurnDisc(*system_, drive, layout, observer);
        EXPECT_EQ(outcome.status, Status::Refused);
        EXPECT_EQ(outcome.message.rfind(c.message, 0), 0u) << outcome.message;
        EXPECT_EQ(drive.burns, 0);
    }
    // Burnt, but the medium cannot be read back: not good.
    FakeDrive drive;
    drive.info = {MediumState::Blank, "DVD+R", disc::kDvdBytes};
    Observer observer;
    const DiscOutcome unread = disc::BurnDisc(*system_, drive, layout, observer);
    EXPECT_EQ(drive.burns, 1);
    EXPECT_EQ(unread.status, Status::Failed);
}

TEST(DiscVolumeNameTest, CutsAtCharactersToWhatBothDescriptorsHold) {
    const struct {
        std::string text;
        std::string name;
    } cases[] = {
        {"甲级", "甲级"},
        {"地质灾害危险性评估资质甲级申请变更事项", "地质灾害危险性评估资"}, // 32 bytes: 10 × 3
        {"abcdefghijklmnopqrstuvwxyz", "abcdefghijklmnop"},                 // 16 units
        {"ab甲乙丙丁戊己庚辛壬癸子丑", "ab甲乙丙丁戊己庚辛壬癸"},           // 32 bytes: 2 + 10 × 3
        {"甲𠀀乙", "甲乙"},                                                 // UCS-2 cannot hold it
        {"𠀀𠀁", "APLPKG"},
        {"甲/乙:丙*丁?", "甲乙丙丁"},
        {"", "APLPKG"},
        {"\x01\x02", "APLPKG"},
        {"甲级 ", "甲级"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(disc::DiscVolumeName(c.text), c.name) << c.text;
}

} // namespace
