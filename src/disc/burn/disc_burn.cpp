// The disc system of this machine: images through libisofs, drives and
// burning through libburn. Drives and the pseudo-drive "stdio:" + path (a
// file written like a drive) are read back through libburn as well. Built
// into the module quillor-disc, which disc/disc_system.cpp opens the first
// time the disc window needs it.

#include "disc/burn/disc_lib.h"
#include "platform/program_module.h"

#include <libburn/libburn.h>

#include "platform/utf8.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace disc::burn {
namespace {

using namespace std::chrono_literals;
using namespace ::burn; // libburn declares its API in this namespace for C++

char* Text(const char* literal) {
    return const_cast<char*>(literal); // the library's prototypes lack const
}

constexpr int kChunk = 32 * int(kDiscBlock);

// ---- libburn set-up ----

// libburn for the program: messages queued instead of printed, no signal
// handlers of its own. It is set up once and ended when the program ends:
// its worker threads may still be winding down when a drive has gone idle,
// so shutting it down between uses is not safe.
class BurnLibrary {
  public:
    BurnLibrary() { ok_ = Started(); }
    bool ok() const { return ok_; }

  private:
    static bool Started() {
        static const bool started = [] {
            if (!burn_initialize())
                return false;
            burn_msgs_set_severities(Text("SORRY"), Text("NEVER"), Text("quillor : "));
            std::atexit([] { burn_finish(); });
            return true;
        }();
        return started;
    }
    bool ok_ = false;
};

template <typename T, void (*Free)(T*)> struct Freer {
    void operator()(T* p) const { Free(p); }
};
using DiscPtr = std::unique_ptr<burn_disc, Freer<burn_disc, burn_disc_free>>;
using SessionPtr = std::unique_ptr<burn_session, Freer<burn_session, burn_session_free>>;
using TrackPtr = std::unique_ptr<burn_track, Freer<burn_track, burn_track_free>>;
using WriteOptsPtr = std::unique_ptr<burn_write_opts, Freer<burn_write_opts, burn_write_opts_free>>;

// ---- reading a medium through the drive ----

// Blocks of the medium for libisofs, read through libburn a run at a time.
struct DriveBlocks {
    burn_drive* drive = nullptr;
    std::vector<std::uint8_t> cache = std::vector<std::uint8_t>(kChunk);
    std::int64_t cachedFirst = -1; // first block in the cache
    int cachedBlocks = 0;
};

int DriveOpen(IsoDataSource*) {
    return 1;
}
int DriveClose(IsoDataSource*) {
    return 1;
}
int DriveRead(IsoDataSource* src, std::uint32_t lba, std::uint8_t* buffer) {
    auto* blocks = static_cast<DriveBlocks*>(src->data);
    if (blocks->cachedFirst < 0 || lba < blocks->cachedFirst ||
        lba >= blocks->cachedFirst + blocks->cachedBlocks) {
        off_t count = 0;
        const int runBlocks = kChunk / int(kDiscBlock);
        int r =
            burn_read_data(blocks->drive, off_t(lba) * off_t(kDiscBlock),
                           reinterpret_cast<char*>(blocks->cache.data()), kChunk, &count, 2 | 4);
        if (r <= 0 || count < off_t(kDiscBlock)) {
            // Near the end of the medium a whole run may not exist: one block.
            r = burn_read_data(blocks->drive, off_t(lba) * off_t(kDiscBlock),
                               reinterpret_cast<char*>(blocks->cache.data()), off_t(kDiscBlock),
                               &count, 2);
            if (r <= 0 || count < off_t(kDiscBlock)) {
                blocks->cachedFirst = -1;
                return ISO_DATA_SOURCE_FAILURE;
            }
            blocks->cachedBlocks = 1;
        } else {
            blocks->cachedBlocks = std::min(runBlocks, int(count / off_t(kDiscBlock)));
        }
        blocks->cachedFirst = lba;
    }
    std::memcpy(buffer, blocks->cache.data() + (lba - blocks->cachedFirst) * kDiscBlock,
                kDiscBlock);
    return 1;
}
void DriveFree(IsoDataSource* src) {
    delete static_cast<DriveBlocks*>(src->data);
}

// ---- a drive ----

class BurnDrive final : public DiscDrive {
  public:
    explicit BurnDrive(burn_drive_info* infos) : infos_(infos), drive_(infos[0].drive) {}
    ~BurnDrive() override {
        burn_drive_release(drive_, 0);
        burn_drive_info_free(infos_);
    }
    BurnDrive(const BurnDrive&) = delete;
    BurnDrive& operator=(const BurnDrive&) = delete;

    MediumInfo medium() override {
        MediumInfo info;
        burn_disc_status status = burn_disc_get_status(drive_);
        for (int tries = 0; status == BURN_DISC_UNREADY && tries < 100; ++tries) {
            std::this_thread::sleep_for(50ms);
            status = burn_disc_get_status(drive_);
        }
        int profile = 0;
        char name[80] = {};
        if (burn_disc_get_profile(drive_, &profile, name) == 1)
            info.kind = profile == 0xffff ? "文件" : name;
        switch (status) {
        case BURN_DISC_BLANK:
            // Overwritable media (DVD+RW, DVD-RAM, BD-RE, a file) count as
            // blank even with data on them: a volume there is not overwritten.
            info.state = HoldsVolume() ? MediumState::Written : MediumState::Blank;
            break;
        case BURN_DISC_APPENDABLE:
        case BURN_DISC_FULL:
            info.state = MediumState::Written;
            break;
        case BURN_DISC_EMPTY:
            info.state = MediumState::NoMedium;
            break;
        default:
            info.state = MediumState::Unsuitable;
            break;
        }
        if (info.state == MediumState::Blank) {
            const off_t space = burn_disc_available_space(drive_, nullptr);
            info.freeBytes = space > 0 ? std::uint64_t(space) : 0;
        }
        return info;
    }

    DiscResult burn(const DiscLayout& layout, DiscProgress& progress) override {
        IsoLibrary iso;
        std::string error;
        ImageStream image = StartImage(layout, false, error);
        if (!image)
            return {DiscStatus::SourceFailed, error};
        const std::uint64_t total = image.size();

        WriteOptsPtr opts(burn_write_opts_new(drive_));
        DiscPtr disc(burn_disc_create());
        SessionPtr session(burn_session_create());
        TrackPtr track(burn_track_create());
        if (!opts || !disc || !session || !track)
            return {DiscStatus::Failed, "libburn"};
        burn_write_opts_set_perform_opc(opts.get(), 0);
        burn_write_opts_set_multi(opts.get(), 0); // one closed session
        burn_write_opts_set_underrun_proof(opts.get(), 1);
        burn_write_opts_set_stdio_fsync(opts.get(), 1); // a file: one flush at the end
        burn_disc_add_session(disc.get(), session.get(), BURN_POS_END);
        burn_track_define_data(track.get(), 0, 0, 1, BURN_MODE1);
        // libisofs's source and libburn's are the one struct, declared twice.
        if (burn_track_set_source(track.get(), reinterpret_cast<::burn::burn_source*>(
                                                   image.source())) != BURN_SOURCE_OK)
            return {DiscStatus::Failed, TakeBurnMessages()};
        burn_session_add_track(session.get(), track.get(), BURN_POS_END);
        char reasons[BURN_REASONS_LEN] = {};
        if (burn_write_opts_auto_write_type(opts.get(), disc.get(), reasons, 0) == BURN_WRITE_NONE)
            return {DiscStatus::Failed, reasons};

        TakeBurnMessages();
        burn_disc_write(opts.get(), disc.get());
        burn_progress state{};
        while (burn_drive_get_status(drive_, nullptr) == BURN_DRIVE_SPAWNING)
            std::this_thread::sleep_for(10ms);
        bool cancelled = false;
        while (burn_drive_get_status(drive_, &state) != BURN_DRIVE_IDLE) {
            if (state.sectors > 0)
                progress.progress(std::uint64_t(state.sector) * kDiscBlock, total);
            if (!cancelled && progress.cancelRequested()) {
                cancelled = true;
                burn_drive_cancel(drive_);
            }
            std::this_thread::sleep_for(50ms);
        }
        const bool wroteWell = burn_drive_wrote_well(drive_) == 1;
        const std::string messages = TakeBurnMessages();
        image.cancel();
        burn_drive_re_assess(drive_, 0);
        if (cancelled)
            return {DiscStatus::Cancelled, messages};
        if (!wroteWell)
            return {DiscStatus::WriteFailed, messages};
        const std::string isoMessages = TakeIsoMessages();
        if (!isoMessages.empty())
            return {DiscStatus::SourceFailed, isoMessages};
        progress.progress(total, total);
        return {DiscStatus::Done, {}};
    }

    std::unique_ptr<DiscVolume> readBack(std::string& error) override {
        IsoDataSource* source = NewSource();
        if (!source) {
            error = "out of memory";
            return nullptr;
        }
        std::unique_ptr<DiscVolume> volume = OpenVolume(source, error);
        iso_data_source_unref(source);
        return volume;
    }

  private:
    // A new block source over the drive (reference count 1).
    IsoDataSource* NewSource() {
        auto* source = static_cast<IsoDataSource*>(std::calloc(1, sizeof(IsoDataSource)));
        if (!source)
            return nullptr;
        source->version = 0;
        source->refcount = 1;
        source->open = DriveOpen;
        source->close = DriveClose;
        source->read_block = DriveRead;
        source->free_data = DriveFree;
        auto* blocks = new DriveBlocks;
        blocks->drive = drive_;
        source->data = blocks;
        return source;
    }

    // Whether block 16 starts a volume descriptor set.
    bool HoldsVolume() {
        char block[kDiscBlock];
        off_t count = 0;
        return burn_read_data(drive_, off_t(16) * off_t(kDiscBlock), block, off_t(kDiscBlock),
                              &count, 2 | 4 | 8) == 1 &&
               count == off_t(kDiscBlock) && std::memcmp(block + 1, "CD001", 5) == 0;
    }

    BurnLibrary library_;
    burn_drive_info* infos_;
    burn_drive* drive_;
};

// ---- the system ----

class LibDiscSystem final : public DiscSystem {
  public:
    std::optional<std::uint64_t> imageSize(const DiscLayout& layout, std::string& error) override {
        IsoLibrary iso;
        ImageStream image = StartImage(layout, true, error);
        if (!image)
            return std::nullopt;
        return image.size();
    }

    DiscResult writeImage(const DiscLayout& layout, ImageSink& sink,
                          DiscProgress& progress) override {
        IsoLibrary iso;
        TakeIsoMessages();
        std::string error;
        ImageStream image = StartImage(layout, false, error);
        if (!image)
            return {DiscStatus::SourceFailed, error};
        const std::uint64_t total = image.size();
        std::vector<unsigned char> buffer(std::size_t{1} << 20);
        std::uint64_t done = 0;
        progress.progress(0, total);
        while (done < total) {
            if (progress.cancelRequested())
                return {DiscStatus::Cancelled, {}};
            const int want = int(std::min<std::uint64_t>(buffer.size(), total - done));
            const int n = image.read(buffer.data(), want);
            if (n <= 0)
                return {DiscStatus::Failed, TakeIsoMessages()};
            if (const std::error_code e = sink.write(buffer.data(), std::size_t(n))) {
                const bool full =
                    e == std::errc::no_space_on_device || e == std::errc::file_too_large;
                return {full ? DiscStatus::NoSpace : DiscStatus::WriteFailed, e.message()};
            }
            done += std::uint64_t(n);
            progress.progress(done, total);
        }
        const std::string messages = TakeIsoMessages();
        if (!messages.empty())
            return {DiscStatus::SourceFailed, messages};
        return {DiscStatus::Done, {}};
    }

    std::unique_ptr<DiscVolume> openImage(const std::filesystem::path& path,
                                          std::string& error) override {
        IsoLibrary iso;
        IsoDataSource* source = nullptr;
        const std::string text = platform::PathToUtf8(path);
        const int r = iso_data_source_new_from_file(text.c_str(), &source);
        if (r < 0) {
            error = iso_error_to_msg(r);
            return nullptr;
        }
        std::unique_ptr<DiscVolume> volume = OpenVolume(source, error);
        iso_data_source_unref(source);
        return volume;
    }

    std::vector<DriveInfo> drives() override {
        std::vector<DriveInfo> found;
        BurnLibrary library;
        if (!library.ok())
            return found;
        burn_drive_info* infos = nullptr;
        unsigned int count = 0;
        int r = 0;
        while ((r = burn_drive_scan(&infos, &count)) == 0)
            std::this_thread::sleep_for(10ms);
        if (r < 0 || !infos)
            return found;
        for (unsigned int i = 0; i < count; ++i) {
            char address[BURN_DRIVE_ADR_LEN] = {};
            if (burn_drive_get_adr(&infos[i], address) <= 0)
                continue;
            std::string name = Trim(infos[i].vendor) + " " + Trim(infos[i].product);
            found.push_back({address, Trim(name) + " (" + address + ")"});
        }
        burn_drive_info_free(infos);
        TakeBurnMessages();
        return found;
    }

    std::unique_ptr<DiscDrive> openDrive(const std::string& address, std::string& error) override {
        BurnLibrary library;
        if (!library.ok()) {
            error = "libburn";
            return nullptr;
        }
        burn_drive_info* infos = nullptr;
        std::vector<char> text(address.begin(), address.end());
        text.push_back('\0');
        const int r = burn_drive_scan_and_grab(&infos, text.data(), 1);
        if (r != 1 || !infos) {
            error = TakeBurnMessages();
            if (infos)
                burn_drive_info_free(infos);
            return nullptr;
        }
        return std::make_unique<BurnDrive>(infos);
    }

  private:
    static std::string Trim(const std::string& text) {
        const auto first = text.find_first_not_of(' ');
        const auto last = text.find_last_not_of(' ');
        return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
    }
};

} // namespace

std::string TakeBurnMessages() {
    std::string text;
    int code = 0, osErrno = 0;
    char message[BURN_MSGS_MESSAGE_LEN];
    char severity[80];
    while (burn_msgs_obtain(Text("SORRY"), &code, message, &osErrno, severity) == 1) {
        if (!text.empty())
            text += "\n";
        text += message;
    }
    return text;
}

} // namespace disc::burn

extern "C" QUILLOR_MODULE_EXPORT std::unique_ptr<disc::DiscSystem> quillor_open_disc_system() {
    return std::make_unique<disc::burn::LibDiscSystem>();
}
