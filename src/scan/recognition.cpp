#include "scan/recognition.h"

#include "platform/environment.h"
#include "platform/program_module.h"
#include "platform/utf8.h"
#include "scan/page_encoding.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>

namespace scan {
namespace {

using OpenFunction = void* (*)(const std::string&, const std::string&, std::string&);
using CloseFunction = void (*)(void*);
using OrientationFunction = int (*)(void*, const Raster&, double, float&);
using ReadFunction = int (*)(void*, const Raster&, double, const std::atomic<bool>*, int,
                             PageText&);

constexpr const char* kLanguages = "chi_sim+eng";
// Tesseract's orientation confidence above which its answer is taken as it
// is; below it a page is read both ways up (sparse pages, short strips and
// Chinese text give low confidences even when right).
constexpr float kSureOrientation = 3.0f;
// A reading this confident is taken without trying the page upside down.
constexpr double kConfidentReading = 80;
// Recognition's resolution: finer pixels cost time and read no better.
constexpr double kRecognitionDpi = 300;

void LimitThreads() {
    // Debian's Tesseract runs OpenMP, which reads its limit when it loads:
    // one page, one core, so the window's other worker keeps the second.
    platform::SetEnvironmentDefault("OMP_THREAD_LIMIT", "1");
}

} // namespace

struct TextRecogniser::Functions {
    OpenFunction open = nullptr;
    CloseFunction close = nullptr;
    OrientationFunction orientation = nullptr;
    ReadFunction read = nullptr;
};

OcrSupport CheckOcr(const std::string& module) {
    OcrSupport support;
    std::error_code ignored;
    const std::filesystem::path data = platform::PathFromUtf8(TessdataFolder());
    const auto has = [&](const char* language) {
        return std::filesystem::is_regular_file(data / (std::string(language) + ".traineddata"),
                                                ignored);
    };
    if (!has("chi_sim")) {
        support.note = "未安装中文文字识别数据，请安装软件包 tesseract-ocr-chi-sim。";
        return support;
    }
    if (!has("eng")) {
        support.note = "未安装英文文字识别数据，请安装软件包 tesseract-ocr-eng。";
        return support;
    }
    LimitThreads();
    if (!platform::ModuleSymbol(module, "quillor_ocr_read")) {
        support.note = "未安装文字识别程序库，请安装软件包 libtesseract5。";
        return support;
    }
    support.available = true;
    if (!has("osd"))
        support.note =
            "未安装页面方向识别数据（软件包 tesseract-ocr-osd），倒置的页面按正反两向识别。";
    return support;
}

TextRecogniser::TextRecogniser(const std::string& module) {
    LimitThreads();
    auto f = std::make_unique<Functions>();
    f->open = platform::ModuleFunction<OpenFunction>(module, "quillor_ocr_open");
    f->close = platform::ModuleFunction<CloseFunction>(module, "quillor_ocr_close");
    f->orientation =
        platform::ModuleFunction<OrientationFunction>(module, "quillor_ocr_orientation");
    f->read = platform::ModuleFunction<ReadFunction>(module, "quillor_ocr_read");
    if (!f->open || !f->close || !f->orientation || !f->read) {
        error_ = "缺少文字识别组件 " + module;
        return;
    }
    functions_ = std::move(f);
    std::string why;
    engine_ = functions_->open(TessdataFolder(), kLanguages, why);
    if (!engine_)
        error_ = "文字识别无法启动：" + why;
}

TextRecogniser::~TextRecogniser() {
    if (engine_)
        functions_->close(engine_);
}

Raster Turned(const Raster& pixels, int turn) {
    switch (((turn % 360) + 360) % 360) {
    case 90:
        return Orient(pixels, 6);
    case 180:
        return Orient(pixels, 3);
    case 270:
        return Orient(pixels, 8);
    default:
        return pixels;
    }
}

OcrResult TextRecogniser::recognisePixels(const Raster& pixels, double dpi,
                                          const std::atomic<bool>* cancel, bool detect,
                                          int deadlineMs) {
    OcrResult result;
    if (!engine_ || pixels.empty())
        return result;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(deadlineMs);
    const auto remaining = [&] {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        return static_cast<int>(std::max<long long>(1, left));
    };
    const Raster grey = ToGrey(pixels);
    std::vector<int> turns{0};
    if (detect) {
        float confidence = 0;
        const int found = functions_->orientation(engine_, grey, dpi, confidence);
        if (found >= 0 && confidence >= kSureOrientation)
            turns = {found};
        else
            turns = {0, 180};
    }
    auto best = std::make_shared<PageText>();
    int chosen = -1;
    for (int turn : turns) {
        if (chosen >= 0 && best->confidence >= kConfidentReading)
            break;
        if (cancel && cancel->load()) {
            result.outcome = OcrOutcome::Stopped;
            return result;
        }
        auto text = std::make_shared<PageText>();
        const int outcome = functions_->read(engine_, turn ? Turned(grey, turn) : grey, dpi, cancel,
                                             remaining(), *text);
        if (outcome == 1) {
            result.outcome = OcrOutcome::Stopped;
            return result;
        }
        if (outcome != 0) {
            if (chosen >= 0)
                break; // the first reading stands
            result.outcome = outcome == 2 ? OcrOutcome::TimedOut : OcrOutcome::Failed;
            return result;
        }
        if (chosen < 0 || text->confidence > best->confidence) {
            text->turn = turn;
            best = std::move(text);
            chosen = turn;
        }
    }
    result.outcome = OcrOutcome::Done;
    result.detected = chosen;
    result.text = std::move(best);
    return result;
}

OcrResult TextRecogniser::recognise(const PageSource& source, int fileTurn, bool scanned,
                                    const std::atomic<bool>* cancel, bool detect, int deadlineMs) {
    const SourceInfo& info = source.info();
    const Resolution dpi = PageDpi(info, scanned);
    const double f = std::min(1.0, kRecognitionDpi / std::max(1.0, dpi.x));
    const int w = std::max(1, static_cast<int>(std::lround(info.width * f)));
    const int h = std::max(1, static_cast<int>(std::lround(info.height * f)));
    std::optional<Raster> decoded = source.decode(w, h);
    if (!decoded)
        return {};
    Raster pixels = ToGrey(*decoded);
    decoded.reset();
    if (pixels.width > w * 5 / 4)
        pixels = Downsample(pixels, w, h);
    const double at = dpi.x * pixels.width / std::max(1, info.width);
    OcrResult result = recognisePixels(Turned(pixels, fileTurn), at, cancel, detect, deadlineMs);
    if (result.text) {
        auto text = std::make_shared<PageText>(*result.text);
        text->turn = (fileTurn + result.detected) % 360;
        result.text = std::move(text);
    }
    return result;
}

} // namespace scan
