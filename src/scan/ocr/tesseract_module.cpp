// The text recognition module: Tesseract, opened by the program the first
// time it recognises a page (scan/recognition.h calls it through
// platform/program_module.h). Tesseract and its OpenMP runtime are loaded
// only then; the caller sets OMP_THREAD_LIMIT=1 first, so that one page
// uses one core.

#include "platform/program_module.h"
#include "scan/page_text.h"
#include "scan/raster.h"

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <atomic>
#include <memory>
#include <string>

namespace scan::ocr {
namespace {

struct Engine {
    std::string data;
    tesseract::TessBaseAPI text;
    std::unique_ptr<tesseract::TessBaseAPI> orientation; // made on first use
    bool orientationFailed = false;
};

void Quiet(tesseract::TessBaseAPI& api) {
#ifndef _WIN32
    api.SetVariable("debug_file", "/dev/null");
#endif
}

bool Cancelled(void* flag, int) {
    return flag && static_cast<const std::atomic<bool>*>(flag)->load();
}

void SetPixels(tesseract::TessBaseAPI& api, const scan::Raster& pixels, double dpi) {
    api.SetImage(pixels.pixels.data(), pixels.width, pixels.height, pixels.channels,
                 static_cast<int>(pixels.stride()));
    api.SetSourceResolution(static_cast<int>(dpi + 0.5));
}

std::string Take(char* text) {
    std::string s = text ? text : "";
    delete[] text;
    return s;
}

} // namespace
} // namespace scan::ocr

using namespace scan::ocr;

// An engine reading `languages` ("chi_sim+eng") from the language data in
// `data`; null with `error` set (Tesseract's own words) when it cannot start.
extern "C" QUILLOR_MODULE_EXPORT void*
quillor_ocr_open(const std::string& data, const std::string& languages, std::string& error) {
    auto engine = std::make_unique<Engine>();
    engine->data = data;
    Quiet(engine->text);
    if (engine->text.Init(data.c_str(), languages.c_str(), tesseract::OEM_LSTM_ONLY) != 0) {
        error = "Tesseract cannot load " + languages + " from " + data;
        return nullptr;
    }
    Quiet(engine->text);
    // Chinese runs are kept as they stand: no spaces put between characters.
    engine->text.SetVariable("preserve_interword_spaces", "1");
    engine->text.SetPageSegMode(tesseract::PSM_AUTO);
    return engine.release();
}

extern "C" QUILLOR_MODULE_EXPORT void quillor_ocr_close(void* engine) {
    delete static_cast<Engine*>(engine);
}

// The clockwise turn that makes the page upright, with Tesseract's
// confidence; -1 when the orientation cannot be told (no data, too little
// text).
extern "C" QUILLOR_MODULE_EXPORT int
quillor_ocr_orientation(void* handle, const scan::Raster& pixels, double dpi, float& confidence) {
    auto* engine = static_cast<Engine*>(handle);
    confidence = 0;
    if (!engine->orientation && !engine->orientationFailed) {
        auto api = std::make_unique<tesseract::TessBaseAPI>();
        Quiet(*api);
        if (api->Init(engine->data.c_str(), "osd", tesseract::OEM_TESSERACT_ONLY) == 0) {
            Quiet(*api);
            api->SetPageSegMode(tesseract::PSM_OSD_ONLY);
            engine->orientation = std::move(api);
        } else {
            engine->orientationFailed = true;
        }
    }
    if (!engine->orientation)
        return -1;
    SetPixels(*engine->orientation, pixels, dpi);
    int degrees = 0;
    float scriptConfidence = 0;
    const char* script = nullptr;
    const bool found = engine->orientation->DetectOrientationScript(&degrees, &confidence, &script,
                                                                    &scriptConfidence);
    engine->orientation->Clear();
    if (!found)
        return -1;
    // Tesseract names the turn the picture has; undoing it is the turn back.
    return (360 - degrees) % 360;
}

// Recognises upright pixels into `out` (the words of each line with their
// boxes, the mean confidence). 0: done; 1: stopped through `cancel`; 2: the
// deadline passed; 3: failed.
extern "C" QUILLOR_MODULE_EXPORT int quillor_ocr_read(void* handle, const scan::Raster& pixels,
                                                      double dpi, const std::atomic<bool>* cancel,
                                                      int deadlineMs, scan::PageText& out) {
    auto* engine = static_cast<Engine*>(handle);
    tesseract::TessBaseAPI& api = engine->text;
    out = scan::PageText{};
    out.width = pixels.width;
    out.height = pixels.height;
    SetPixels(api, pixels, dpi);
    tesseract::ETEXT_DESC monitor;
    monitor.cancel = &Cancelled;
    monitor.cancel_this = const_cast<std::atomic<bool>*>(cancel);
    monitor.set_deadline_msecs(deadlineMs);
    if (api.Recognize(&monitor) != 0) {
        const int outcome = cancel && cancel->load() ? 1 : monitor.deadline_exceeded() ? 2 : 3;
        api.Clear();
        return outcome;
    }
    out.confidence = api.MeanTextConf();
    const std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
    if (it) {
        const auto level = tesseract::RIL_WORD;
        bool lineStarts = true;
        do {
            if (it->IsAtBeginningOf(tesseract::RIL_TEXTLINE))
                lineStarts = true;
            if (it->Empty(level))
                continue;
            scan::TextWord word;
            word.text = Take(it->GetUTF8Text(level));
            if (word.text.empty() ||
                !it->BoundingBox(level, &word.left, &word.top, &word.right, &word.bottom))
                continue;
            if (out.lines.empty() || lineStarts)
                out.lines.emplace_back();
            lineStarts = false;
            out.lines.back().words.push_back(std::move(word));
        } while (it->Next(level));
    }
    std::erase_if(out.lines, [](const scan::WordLine& l) { return l.words.empty(); });
    api.Clear();
    return 0;
}
