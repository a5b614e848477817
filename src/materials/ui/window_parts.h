#pragma once
// What the materials window opens beyond itself: the application form and
// the list of files (printing), the scanner and the shrinking of a linked
// file (scan), the package check after a save and the disc window (disc).
// Those folders build on the materials (they read the manifest, its standard
// names and the saved package), so the window does not reach up to them: the
// program's top hands them in (src/app). A part left empty does nothing.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace materials::ui {

// What "扫描..." asks for the current entry.
struct ScanRequest {
    std::string item;                // the item's short name (and sub-item)
    std::string material;            // the current material
    std::string entry;               // the current entry's title
    std::string dataFolder;          // the program's data folder ("扫描文件" goes there)
    std::int64_t limitMb = 0;        // SizeLimitMb of the item
    std::uint64_t otherLinkedKb = 0; // KB of the files linked to the other entries
};

// What "压缩..." asks for the current entry's linked file.
struct ShrinkRequest {
    std::string source; // the linked file
    std::string item;
    std::string material;
    std::string entry;
    std::string dataFolder; // the program's data folder
};

// What "压缩..." would make of a file: its size now and about after.
struct ShrinkGuess {
    std::uint64_t bytes = 0;
    std::uint64_t expected = 0;
};

struct WindowParts {
    // "打印申请表" and "浏览已链接文件": the printing windows, modal over `parent`.
    std::function<void(QWidget* parent)> showApplicationForm;
    std::function<void(QWidget* parent)> showMaterialsList;
    // The scanning window; the PDF to link, or nothing when cancelled.
    std::function<std::optional<std::string>(QWidget* parent, const ScanRequest&)> scan;
    // Whether a file is a JPEG or PDF that the shrinking can take.
    std::function<bool(const std::string& file)> canShrink;
    // What shrinking a file would give, for the offer after an oversized
    // save; nothing for a file it does not take or a copy it made itself.
    std::function<std::optional<ShrinkGuess>(const std::string& file)> estimateShrink;
    // The shrinking window; the smaller copy to link, or nothing.
    std::function<std::optional<std::string>(QWidget* parent, const ShrinkRequest&)> shrink;
    // The package check of a folder just saved: the text added to the save's
    // message ("" when it found nothing).
    std::function<std::string(const std::string& folder)> checkSavedPackage;
    // "检查并刻录": the disc window of the saved package in `folder`.
    std::function<void(QWidget* parent, const std::string& folder, const std::string& volume)>
        showDisc;
};

} // namespace materials::ui
