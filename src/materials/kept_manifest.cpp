#include "materials/kept_manifest.h"

#include "materials/manifest.h"
#include "platform/file_read.h"
#include "platform/prompter.h"
#include "platform/utf8.h"

#include <filesystem>
#include <optional>
#include <utility>

namespace materials {
namespace {

using platform::XmlDocument;

struct KeptManifest {
    std::string path;
    std::optional<std::string> bytes; // nullopt: nothing kept
    XmlDocument doc;
    std::string combiningPath;
    int combining = 0;    // CombinedWrite objects alive for combiningPath
    bool pending = false; // the tree holds changes that the file does not yet
};

KeptManifest& Kept() {
    thread_local KeptManifest kept;
    return kept;
}

bool FlushPending(KeptManifest& kept);

void ReportUnsaved(const std::string& path) {
    platform::Notify("XML文件无法保存-" + path, "提示", platform::MsgIcon::Exclamation);
}

// Writes `doc` to `path`; the kept tree follows what the file now holds.
bool SaveKept(const XmlDocument& doc, const std::string& path) {
    KeptManifest& kept = Kept();
    if (kept.path == path && &doc != &kept.doc)
        FlushPending(kept); // the other tree's write comes last
    std::string written;
    const bool saved = doc.save(platform::PathFromUtf8(path), &written);
    if (kept.path == path) {
        if (saved && &doc == &kept.doc)
            kept.bytes = std::move(written);
        else
            kept.bytes.reset();
    }
    return saved;
}

// Writes the changes a CombinedWrite held back.
bool FlushPending(KeptManifest& kept) {
    if (!kept.pending)
        return true;
    kept.pending = false;
    if (SaveKept(kept.doc, kept.path))
        return true;
    ReportUnsaved(kept.path);
    return false;
}

} // namespace

XmlDocument* LoadKept(const std::string& path) {
    KeptManifest& kept = Kept();
    if (kept.pending && kept.path != path)
        FlushPending(kept); // the changes go to their file before another is read
    const std::filesystem::path file = platform::PathFromUtf8(path);
    // Changes held back are ahead of the file, which holds the kept bytes.
    if (kept.pending)
        return &kept.doc;
    if (kept.bytes && kept.path == path) {
        platform::FileContent content = platform::ReadRegularFile(file, platform::kMaxXmlFileBytes);
        if (content.ok() && content.bytes == *kept.bytes)
            return &kept.doc;
        kept.bytes.reset();
        if (!content.ok())
            return kept.doc.load(file) ? &kept.doc : nullptr; // the message says why
        if (!kept.doc.loadBytes(content.bytes, file))
            return nullptr;
        kept.bytes = std::move(content.bytes);
        return &kept.doc;
    }
    kept.bytes.reset();
    kept.path = path;
    std::string bytes;
    if (!kept.doc.load(file, &bytes))
        return nullptr;
    kept.bytes = std::move(bytes);
    return &kept.doc;
}

void KeepManifestTree(const std::string& path, XmlDocument doc, std::string bytes) {
    KeptManifest& kept = Kept();
    FlushPending(kept);
    kept.path = path;
    kept.doc = std::move(doc);
    kept.bytes = std::move(bytes);
}

bool SaveReported(const XmlDocument& doc, const std::string& path) {
    KeptManifest& kept = Kept();
    if (kept.combining > 0 && kept.combiningPath == path && kept.path == path &&
        &doc == &kept.doc) {
        kept.pending = true; // written once, when the CombinedWrite ends
        return true;
    }
    if (SaveKept(doc, path))
        return true;
    ReportUnsaved(path);
    return false;
}

void ReleaseKeptManifest(const std::string& path) {
    KeptManifest& kept = Kept();
    if (kept.path != path)
        return;
    FlushPending(kept);
    kept.bytes.reset();
    kept.doc = XmlDocument();
}

CombinedWrite::CombinedWrite(const std::string& path) {
    KeptManifest& kept = Kept();
    if (kept.combining > 0 && kept.combiningPath != path)
        return; // one file at a time: the changes to this one are written as usual
    kept.combiningPath = path;
    ++kept.combining;
    active_ = true;
}

CombinedWrite::~CombinedWrite() {
    KeptManifest& kept = Kept();
    if (!active_ || kept.combining == 0 || --kept.combining > 0)
        return;
    kept.combiningPath.clear();
    FlushPending(kept);
}

} // namespace materials
