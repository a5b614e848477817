// The SANE scanner system (libsane): devices, options (resolution, mode, scan
// area) and the scan of one page with cancel. SANE is set up once per process
// and used by one scan at a time. Built into the module quillor-scanner
// (platform/scanner.cpp opens it).

#include "platform/program_module.h"
#include "platform/scan_lines.h"
#include "platform/scanner.h"

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <optional>
#include <vector>

namespace platform::sane {
namespace {

std::mutex& SaneLock() {
    static std::mutex m;
    return m;
}

bool EnsureInit() {
    static bool done = false;
    static bool ok = false;
    if (!done) {
        done = true;
        SANE_Int version = 0;
        ok = sane_init(&version, nullptr) == SANE_STATUS_GOOD;
    }
    return ok;
}

std::string StatusText(SANE_Status s) {
    switch (s) {
    case SANE_STATUS_DEVICE_BUSY:
        return "扫描仪正忙，请稍后再试。";
    case SANE_STATUS_JAMMED:
        return "扫描仪卡纸，请取出纸张后重试。";
    case SANE_STATUS_NO_DOCS:
        return "进纸器中没有纸张。";
    case SANE_STATUS_COVER_OPEN:
        return "扫描仪盖板未关闭。";
    case SANE_STATUS_IO_ERROR:
        return "与扫描仪通信出错，请检查连接。";
    case SANE_STATUS_NO_MEM:
        return "内存不足，无法扫描。";
    case SANE_STATUS_ACCESS_DENIED:
        return "没有使用该扫描仪的权限。";
    case SANE_STATUS_INVAL:
        return "扫描仪不接受所选的设置。";
    default:
        return std::string("扫描失败：") + sane_strstatus(s);
    }
}

class Device {
  public:
    explicit Device(SANE_Handle h) : h_(h) {}
    ~Device() {
        if (h_)
            sane_close(h_);
    }
    SANE_Handle handle() const { return h_; }

    int find(const char* name) const {
        for (SANE_Int i = 1;; ++i) {
            const SANE_Option_Descriptor* d = sane_get_option_descriptor(h_, i);
            if (!d)
                return -1;
            if (d->name && std::strcmp(d->name, name) == 0 && SANE_OPTION_IS_ACTIVE(d->cap) &&
                SANE_OPTION_IS_SETTABLE(d->cap))
                return i;
        }
    }
    // Sets a number option (int or fixed), clamped to its range.
    void setNumber(const char* name, double value) const {
        const int i = find(name);
        if (i < 0)
            return;
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(h_, i);
        if (d->constraint_type == SANE_CONSTRAINT_RANGE) {
            const SANE_Range* r = d->constraint.range;
            const double lo = d->type == SANE_TYPE_FIXED ? SANE_UNFIX(r->min) : r->min;
            const double hi = d->type == SANE_TYPE_FIXED ? SANE_UNFIX(r->max) : r->max;
            value = std::clamp(value, lo, hi);
        } else if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST) {
            // The nearest value the list offers.
            const SANE_Word* list = d->constraint.word_list;
            double best = value, bestGap = 1e300;
            for (SANE_Word k = 1; k <= list[0]; ++k) {
                const double v = d->type == SANE_TYPE_FIXED ? SANE_UNFIX(list[k]) : list[k];
                if (std::abs(v - value) < bestGap) {
                    bestGap = std::abs(v - value);
                    best = v;
                }
            }
            value = best;
        }
        SANE_Word word = d->type == SANE_TYPE_FIXED ? SANE_FIX(value)
                                                    : static_cast<SANE_Word>(std::lround(value));
        sane_control_option(h_, i, SANE_ACTION_SET_VALUE, &word, nullptr);
    }
    double maximum(const char* name, double fallback) const {
        const int i = find(name);
        if (i < 0)
            return fallback;
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(h_, i);
        if (d->constraint_type != SANE_CONSTRAINT_RANGE)
            return fallback;
        return d->type == SANE_TYPE_FIXED ? SANE_UNFIX(d->constraint.range->max)
                                          : d->constraint.range->max;
    }
    double number(const char* name, double fallback) const {
        const int i = find(name);
        if (i < 0)
            return fallback;
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(h_, i);
        SANE_Word word = 0;
        if (sane_control_option(h_, i, SANE_ACTION_GET_VALUE, &word, nullptr) != SANE_STATUS_GOOD)
            return fallback;
        return d->type == SANE_TYPE_FIXED ? SANE_UNFIX(word) : word;
    }
    // The first of the wanted mode names that the scanner offers.
    void setMode(std::initializer_list<const char*> wanted) const {
        const int i = find(SANE_NAME_SCAN_MODE);
        if (i < 0)
            return;
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(h_, i);
        if (d->type != SANE_TYPE_STRING || d->constraint_type != SANE_CONSTRAINT_STRING_LIST)
            return;
        for (const char* w : wanted)
            for (const SANE_String_Const* s = d->constraint.string_list; *s; ++s)
                if (strcasecmp(*s, w) == 0) {
                    std::vector<char> value(static_cast<std::size_t>(d->size) + 1, 0);
                    std::strncpy(value.data(), *s, value.size() - 1);
                    sane_control_option(h_, i, SANE_ACTION_SET_VALUE, value.data(), nullptr);
                    return;
                }
    }

  private:
    SANE_Handle h_;
};

// The page the scanner is set up for: the resolution it took and the largest
// page, in pixels, that the chosen area allows.
struct ScanArea {
    double dpi = 0;
    int mostWidth = 0;
    int mostHeight = 0;
};

// Sets the mode, depth, resolution and area of `settings` on `device`.
ScanArea SetUp(const Device& device, const ScanSettings& settings) {
    switch (settings.colour) {
    case ScanColour::Colour:
        device.setMode({SANE_VALUE_SCAN_MODE_COLOR, "Colour"});
        break;
    case ScanColour::Grey:
    case ScanColour::BlackWhite:
        // Black and white is thresholded by the program: every scanner has grey.
        device.setMode({SANE_VALUE_SCAN_MODE_GRAY, "Grey"});
        break;
    }
    device.setNumber("depth", 8);
    device.setNumber(SANE_NAME_SCAN_RESOLUTION, settings.dpi);
    device.setNumber(SANE_NAME_SCAN_TL_X, 0);
    device.setNumber(SANE_NAME_SCAN_TL_Y, 0);
    const double maxX = device.maximum(SANE_NAME_SCAN_BR_X, 210);
    const double maxY = device.maximum(SANE_NAME_SCAN_BR_Y, 297);
    device.setNumber(SANE_NAME_SCAN_BR_X, settings.a4 ? std::min(210.0, maxX) : maxX);
    device.setNumber(SANE_NAME_SCAN_BR_Y, settings.a4 ? std::min(297.0, maxY) : maxY);
    const double dpi = device.number(SANE_NAME_SCAN_RESOLUTION, settings.dpi);
    // The largest page the chosen area allows (with a little room for
    // rounding): a backend that sends more is not believed.
    const double areaWidth =
        device.number(SANE_NAME_SCAN_BR_X, maxX) - device.number(SANE_NAME_SCAN_TL_X, 0);
    const double areaHeight =
        device.number(SANE_NAME_SCAN_BR_Y, maxY) - device.number(SANE_NAME_SCAN_TL_Y, 0);
    const auto mostPixels = [dpi](double mm) {
        return static_cast<int>(std::ceil(std::max(mm, 1.0) / 25.4 * dpi * 1.02)) + 2;
    };
    return {dpi, mostPixels(areaWidth), mostPixels(areaHeight)};
}

// Reads the started scan into `lines` until its end or the largest page the
// area allows; false, with the outcome told, when it is cancelled or fails
// (the scan is cancelled then).
bool ReadLines(SANE_Handle handle, const SANE_Parameters& p, ScanLines& lines,
               const ScanControl& control, ScanOutcome& outcome) {
    const double expected = p.lines > 0 ? p.lines : -1;
    std::vector<std::uint8_t> chunk(64 * 1024);
    for (;;) {
        if (control.cancelled()) {
            sane_cancel(handle);
            outcome.status = ScanStatus::Cancelled;
            return false;
        }
        SANE_Int got = 0;
        const SANE_Status s =
            sane_read(handle, chunk.data(), static_cast<SANE_Int>(chunk.size()), &got);
        if (s == SANE_STATUS_EOF)
            break;
        if (s != SANE_STATUS_GOOD) {
            sane_cancel(handle);
            outcome.status =
                s == SANE_STATUS_CANCELLED ? ScanStatus::Cancelled : ScanStatus::Failed;
            outcome.message = StatusText(s);
            return false;
        }
        const std::size_t n = static_cast<std::size_t>(
            std::clamp<SANE_Int>(got, 0, static_cast<SANE_Int>(chunk.size())));
        if (!lines.add(chunk.data(), n))
            break; // the largest page the area allows: the rest is not read
        if (control.progress)
            control.progress(expected > 0 ? std::min(1.0, lines.lines() / expected) : -1);
    }
    return true;
}

class SaneScanner final : public Scanner {
  public:
    std::vector<ScannerDevice> devices() override {
        std::lock_guard<std::mutex> guard(SaneLock());
        std::vector<ScannerDevice> out;
        if (!EnsureInit())
            return out;
        const SANE_Device** list = nullptr;
        if (sane_get_devices(&list, SANE_FALSE) != SANE_STATUS_GOOD || !list)
            return out;
        for (const SANE_Device** d = list; *d; ++d)
            out.push_back({(*d)->name ? (*d)->name : "", (*d)->vendor ? (*d)->vendor : "",
                           (*d)->model ? (*d)->model : ""});
        return out;
    }

    ScanOutcome scan(const ScanSettings& settings, const ScanControl& control) override {
        std::lock_guard<std::mutex> guard(SaneLock());
        ScanOutcome outcome;
        if (!EnsureInit()) {
            outcome.message = "无法启动扫描系统（SANE）。";
            return outcome;
        }
        SANE_Handle handle = nullptr;
        const SANE_Status opened = sane_open(settings.device.c_str(), &handle);
        if (opened != SANE_STATUS_GOOD || !handle) {
            outcome.message = opened == SANE_STATUS_INVAL ? std::string("找不到所选的扫描仪。")
                                                          : StatusText(opened);
            return outcome;
        }
        Device device(handle);
        const ScanArea area = SetUp(device, settings);

        const SANE_Status started = sane_start(handle);
        if (started != SANE_STATUS_GOOD) {
            outcome.message = StatusText(started);
            return outcome;
        }
        SANE_Parameters p{};
        if (sane_get_parameters(handle, &p) != SANE_STATUS_GOOD ||
            (p.format != SANE_FRAME_GRAY && p.format != SANE_FRAME_RGB)) {
            sane_cancel(handle);
            outcome.message = "扫描仪送来的图像格式不受支持。";
            return outcome;
        }
        ScanFormat format;
        format.pixelsPerLine = p.pixels_per_line;
        format.bytesPerLine = p.bytes_per_line;
        format.depth = p.depth;
        format.channels = p.format == SANE_FRAME_RGB ? 3 : 1;
        format.lines = p.lines;
        std::optional<ScanLines> lines =
            ScanLines::Start(format, area.mostWidth, area.mostHeight, &outcome.message);
        if (!lines) {
            sane_cancel(handle);
            return outcome;
        }
        if (!ReadLines(handle, p, *lines, control, outcome))
            return outcome;
        sane_cancel(handle); // ends the scan (one page only)
        if (lines->lines() <= 0) {
            outcome.message = "扫描仪没有送来图像。";
            return outcome;
        }
        outcome.page = lines->take(area.dpi);
        outcome.status = ScanStatus::Ok;
        return outcome;
    }
};

} // namespace
} // namespace platform::sane

extern "C" QUILLOR_MODULE_EXPORT std::shared_ptr<platform::Scanner> quillor_make_sane_scanner() {
    return std::make_shared<platform::sane::SaneScanner>();
}
