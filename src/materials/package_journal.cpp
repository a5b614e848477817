#include "materials/package_journal.h"

#include "materials/manifest.h"
#include "materials/modfjgl.h"
#include "platform/file_copy.h"
#include "platform/utf8.h"
#include "platform/xmldoc.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>

namespace materials {
namespace {

using platform::EntryKind;
using platform::FolderHandle;

constexpr const char* kJournalHead = "quillor-save 2";
// The previous format: no identities, and the clean-up in a note of its own.
constexpr const char* kOldJournalHead = "quillor-save 1";
constexpr const char* kOldCommitNoteName = "commit";

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> parts;
    std::size_t at = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', at);
        parts.push_back(line.substr(at, tab - at));
        if (tab == std::string::npos)
            return parts;
        at = tab + 1;
    }
}

// The lines of a text that ends with the line "end"; false when it is cut short.
bool CompleteLines(const std::string& text, std::vector<std::string>& lines) {
    lines.clear();
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            return false;
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (line == "end")
            return true;
        lines.push_back(std::move(line));
    }
    return false;
}

// A place named by a journal: one plain name, or a material and a plain name.
bool SplitPlace(const std::string& place, std::string& material, std::string& name) {
    const std::size_t slash = place.find('/');
    if (slash == std::string::npos) {
        material.clear();
        name = place;
        return IsStorableName(name);
    }
    material = place.substr(0, slash);
    name = place.substr(slash + 1);
    return name.find('/') == std::string::npos && IsStorableName(material) && IsStorableName(name);
}

std::string Key(const std::string& material, const std::string& name) {
    return NameKey(material) + "/" + NameKey(name);
}

bool ParseNumber(const std::string& text, std::uint64_t& value) {
    if (text.empty() || text.size() > 20 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    value = std::stoull(text);
    return true;
}

// The journal of a staging folder, whichever format it is in.
enum class JournalRead { Complete, Incomplete, TooLarge, Damaged };
struct StagingJournal {
    bool old = false; // the previous format
    Journal journal;
    bool commitNoted = false; // old format: the commit note is complete
};

JournalRead ReadJournal(const FolderHandle& staging, StagingJournal& out) {
    std::string text;
    std::error_code error;
    if (!staging.readFile(kJournalName, kMaxJournalBytes, text, error))
        return error == std::errc::file_too_large ? JournalRead::TooLarge : JournalRead::Incomplete;
    std::vector<std::string> lines;
    if (!CompleteLines(text, lines) || lines.empty())
        return JournalRead::Incomplete; // flushed before the first rename: none was made
    out = {};
    if (lines[0] == kOldJournalHead)
        out.old = true;
    else if (lines[0] != kJournalHead)
        return JournalRead::Damaged;
    Journal& j = out.journal;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> p = SplitTabs(lines[i]);
        std::string material, name;
        if (p.size() == 2 && p[0] == "M" && IsStorableName(p[1])) {
            j.made.push_back(p[1]);
        } else if (!out.old && p.size() == 2 && (p[0] == "D" || p[0] == "R")) {
            j.clean.push_back(lines[i]);
        } else if (p.size() == (out.old ? 5u : 7u) && p[0] == "P" && IsStorableName(p[1]) &&
                   SplitPlace(p[2], material, name) && IsStorableName(p[3]) &&
                   (p[4] == "0" || p[4] == "1")) {
            JournalPlace place{p[1], p[2], p[3], p[4] == "1", {}};
            if (!out.old &&
                (!ParseNumber(p[5], place.placed.device) || !ParseNumber(p[6], place.placed.inode)))
                return JournalRead::Damaged;
            j.places.push_back(std::move(place));
        } else {
            return JournalRead::Damaged;
        }
    }
    if (out.old) {
        std::string note;
        std::vector<std::string> noteLines;
        if (staging.readFile(kOldCommitNoteName, kMaxJournalBytes, note, error) &&
            CompleteLines(note, noteLines)) {
            out.commitNoted = true;
            for (const std::string& line : noteLines)
                if (line.starts_with("D\t") || line.starts_with("R\t"))
                    j.clean.push_back(line);
        }
    }
    return JournalRead::Complete;
}

std::string KindText(EntryKind kind) {
    switch (kind) {
    case EntryKind::Folder:
        return "文件夹";
    case EntryKind::File:
        return "文件";
    case EntryKind::Missing:
        return "不存在";
    case EntryKind::Other:
        break;
    }
    return "符号链接或特殊文件";
}

// What the repair would act through: every material folder, staged copy,
// backup and target must be a real folder or file (or missing). The odd ones
// are named; then nothing is touched.
std::vector<std::string> OddEntries(const FolderHandle& package, const std::string& stagingName,
                                    const FolderHandle& staging, const Journal& journal) {
    std::vector<std::string> odd;
    const auto check = [&odd](const std::string& what, EntryKind kind, EntryKind wanted) {
        if (kind != wanted && kind != EntryKind::Missing)
            odd.push_back(what + "：" + KindText(kind));
    };
    const auto checkPlace = [&](const std::string& place, bool file) {
        std::string material, name;
        if (!SplitPlace(place, material, name))
            return;
        if (material.empty()) {
            check(name, package.entry(name).kind, EntryKind::File);
            return;
        }
        check(material, package.entry(material).kind, EntryKind::Folder);
        if (!file || package.entry(material).kind != EntryKind::Folder)
            return;
        std::error_code error;
        const FolderHandle folder = package.openFolder(material, error);
        if (folder.valid())
            check(place, folder.entry(name).kind, EntryKind::File);
    };
    for (const JournalPlace& p : journal.places) {
        checkPlace(p.target, true);
        check(stagingName + "/" + p.staged, staging.entry(p.staged).kind, EntryKind::File);
        check(stagingName + "/" + p.backup, staging.entry(p.backup).kind, EntryKind::File);
    }
    for (const std::string& line : journal.clean) {
        if (line.starts_with("D\t"))
            checkPlace(line.substr(2), false);
        else if (line.starts_with("R\t") && IsStorableName(line.substr(2)))
            check(line.substr(2), package.entry(line.substr(2)).kind, EntryKind::Folder);
    }
    for (const std::string& material : journal.made)
        check(material, package.entry(material).kind, EntryKind::Folder);
    std::sort(odd.begin(), odd.end());
    odd.erase(std::unique(odd.begin(), odd.end()), odd.end());
    return odd;
}

// The material folder that holds a place, opened (or made, when a backup
// proves that it existed).
FolderHandle MaterialFolder(const FolderHandle& package, const std::string& material, bool make) {
    std::error_code error;
    FolderHandle folder = package.openFolder(material, error);
    if (!folder.valid() && make && package.entry(material).kind == EntryKind::Missing &&
        package.makeFolder(material, error))
        folder = package.openFolder(material, error);
    return folder;
}

std::set<std::string> StoredNamesIn(const FolderHandle& folder, const std::string& name) {
    std::string bytes;
    std::error_code error;
    if (folder.entry(name).kind != EntryKind::File ||
        !folder.readFile(name, platform::kMaxXmlFileBytes, bytes, error))
        return {};
    return StoredNames(bytes);
}

PackageRepair Refused(std::string what) {
    PackageRepair repair;
    repair.result = RepairResult::Refused;
    repair.refused.push_back(std::move(what));
    return repair;
}

// The place of the stored copy in the journal (null when it names none).
const JournalPlace* StoredCopyPlace(const Journal& journal) {
    const JournalPlace* stored = nullptr;
    for (const JournalPlace& p : journal.places)
        if (p.target == kStoredCopyName)
            stored = &p;
    return stored;
}

// Whether the commit happened: the stored copy in place is the one the save
// placed (the previous format: its commit note, and the stored copy gone from
// the staging folder).
bool Committed(const FolderHandle& package, const FolderHandle& staging, const StagingJournal& read,
               const JournalPlace* stored) {
    if (read.old)
        return read.commitNoted && staging.entry(kStoredCopyName).kind == EntryKind::Missing &&
               package.entry(kStoredCopyName).kind == EntryKind::File;
    if (stored == nullptr)
        return false;
    const platform::EntryInfo now = package.entry(kStoredCopyName);
    return now.kind == EntryKind::File && now.identity == stored->placed &&
           staging.entry(stored->staged).kind == EntryKind::Missing;
}

// One staging folder's repair.
PackageRepair RepairStaging(const FolderHandle& package, const std::string& name) {
    PackageRepair repair;
    const EntryKind kind = package.entry(name).kind;
    std::error_code error;
    if (kind == EntryKind::File) { // a file of that name holds nothing of a save
        package.removeFile(name, error);
        return repair;
    }
    if (kind != EntryKind::Folder)
        return Refused(name + "：" + KindText(kind));
    const FolderHandle staging = package.openFolder(name, error);
    if (!staging.valid())
        return Refused(name + "：无法打开");
    StagingJournal read;
    switch (ReadJournal(staging, read)) {
    case JournalRead::Incomplete:
        RemoveStagingFolder(package, name); // copies of a save that renamed nothing
        return repair;
    case JournalRead::TooLarge:
        return Refused(name + "/" + kJournalName + "：文件过大，未读取");
    case JournalRead::Damaged:
        return Refused(name + "/" + kJournalName + "：内容无法识别");
    case JournalRead::Complete:
        break;
    }
    const Journal& journal = read.journal;
    repair.refused = OddEntries(package, name, staging, journal);
    if (!repair.refused.empty()) {
        repair.result = RepairResult::Refused;
        return repair;
    }
    const JournalPlace* stored = StoredCopyPlace(journal);
    if (Committed(package, staging, read, stored)) {
        FinishCleanup(package, journal.clean,
                      stored != nullptr ? StoredNamesIn(staging, stored->backup)
                                        : std::set<std::string>{},
                      StoredNamesIn(package, kStoredCopyName));
        repair.result = RepairResult::Finished;
    } else {
        if (read.old) {
            // Once rolling back, the new package can never be taken as finished.
            staging.removeFile(kOldCommitNoteName, error);
            staging.sync();
        }
        repair.stuck = RollBack(package, staging, journal);
        repair.result = repair.stuck.empty() ? RepairResult::RolledBack : RepairResult::Failed;
    }
    if (repair.result != RepairResult::Failed)
        RemoveStagingFolder(package, name);
    return repair;
}

// The worse of two results, for a folder with more than one staging folder.
int Weight(RepairResult r) {
    switch (r) {
    case RepairResult::Nothing:
        return 0;
    case RepairResult::Finished:
        return 1;
    case RepairResult::RolledBack:
        return 2;
    case RepairResult::Failed:
        return 3;
    case RepairResult::Refused:
        return 4;
    default:
        return 5;
    }
}

std::vector<std::string> StagingNames(const FolderHandle& package) {
    std::error_code error;
    std::vector<std::string> names;
    for (std::string& name : package.list(error))
        if (IsStagingFolderName(name))
            names.push_back(std::move(name));
    std::sort(names.begin(), names.end());
    return names;
}

bool RemoveTree(const FolderHandle& parent, const std::string& name, int depth) {
    std::error_code error;
    if (parent.entry(name).kind != EntryKind::Folder)
        return parent.removeFile(name, error) || parent.entry(name).kind == EntryKind::Missing;
    if (depth > 8) // a staging folder holds files only; deeper is none of ours
        return false;
    const FolderHandle folder = parent.openFolder(name, error);
    if (folder.valid()) {
        folder.removeFile(kJournalName, error); // first: nothing looks needed any more
        for (const std::string& entry : folder.list(error))
            RemoveTree(folder, entry, depth + 1);
    }
    error.clear();
    return parent.removeFolder(name, error);
}

} // namespace

bool IsStagingFolderName(std::string_view name) {
    const std::string_view prefix = kStagingFolderName;
    return name == prefix || (name.starts_with(prefix) && name.size() > prefix.size() + 1 &&
                              name[prefix.size()] == '.');
}

bool IsProgramEntryName(std::string_view name) {
    return name.starts_with(kProgramEntryPrefix);
}

std::string NewStagingFolderName() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    std::random_device random;
    char id[40];
    std::snprintf(id, sizeof id, "%llx-%08x",
                  static_cast<unsigned long long>(
                      std::chrono::duration_cast<std::chrono::microseconds>(now).count()),
                  static_cast<unsigned>(random()));
    return std::string(kStagingFolderName) + "." + id;
}

std::string JournalText(const Journal& journal) {
    std::string text = std::string(kJournalHead) + "\n";
    for (const std::string& folder : journal.made)
        text += "M\t" + folder + "\n";
    for (const JournalPlace& p : journal.places)
        text += "P\t" + p.staged + "\t" + p.target + "\t" + p.backup + "\t" +
                (p.existed ? "1" : "0") + "\t" + std::to_string(p.placed.device) + "\t" +
                std::to_string(p.placed.inode) + "\n";
    for (const std::string& line : journal.clean)
        text += line + "\n";
    return text + "end\n";
}

std::set<std::string> StoredNames(const std::string& bytes) {
    std::set<std::string> names;
    platform::XmlDocument doc;
    if (!doc.loadBytes(bytes, kStoredCopyName) || doc.documentElement().name() != "offer")
        return names;
    for (const platform::XmlNode& material :
         doc.documentElement().selectNodes(".//attachments//attachment")) {
        const std::string name = material.selectSingleNode(".//fjmc").text();
        for (const platform::XmlNode& file : material.selectNodes(".//fileList//file")) {
            const std::string link = file.selectSingleNode(".//fileUrl").text();
            if (IsStoredLink(link))
                names.insert(Key(name, LinkWithoutPrefix(link)));
        }
    }
    return names;
}

std::vector<std::string> RollBack(const FolderHandle& package, const FolderHandle& staging,
                                  const Journal& journal) {
    std::vector<std::string> stuck;
    std::set<std::string> touched; // material folders whose entries changed
    for (auto p = journal.places.rbegin(); p != journal.places.rend(); ++p) {
        std::string material, name;
        if (!SplitPlace(p->target, material, name))
            continue;
        const bool backedUp = staging.entry(p->backup).kind == EntryKind::File;
        const bool placed = staging.entry(p->staged).kind == EntryKind::Missing;
        // A backup proves that its folder existed: one deleted meanwhile is made again.
        FolderHandle opened;
        if (!material.empty())
            opened = MaterialFolder(package, material, backedUp);
        const FolderHandle& folder = material.empty() ? package : opened;
        std::error_code error;
        if (!folder.valid()) {
            if (backedUp)
                stuck.push_back(p->target);
            continue;
        }
        const platform::EntryInfo now = folder.entry(name);
        if (backedUp) {
            // Put back where nothing is, over the file the save placed, or
            // over the file itself (a hard link); a file that has taken the
            // place since is nobody's to replace.
            const bool ours = !p->placed.known() || now.kind == EntryKind::Missing ||
                              now.identity == p->placed ||
                              now.identity == staging.entry(p->backup).identity;
            if (ours && !staging.rename(p->backup, folder, name, error))
                stuck.push_back(p->target);
        } else if (!placed) {
            continue; // never renamed: the target is as it was
        } else if (p->existed) {
            // Renamed over the previous file, whose backup is gone.
            if (now.kind == EntryKind::File)
                stuck.push_back(p->target);
            continue;
        } else if (now.kind == EntryKind::File &&
                   (!p->placed.known() || now.identity == p->placed)) {
            // A new file goes, but only while it is still the one the save placed.
            if (!folder.removeFile(name, error))
                stuck.push_back(p->target);
        }
        touched.insert(material);
    }
    std::error_code error;
    for (const std::string& material : journal.made) // when empty again
        package.removeFolder(material, error);
    for (const std::string& material : touched) {
        if (material.empty())
            continue;
        const FolderHandle folder = package.openFolder(material, error);
        if (folder.valid())
            folder.sync();
    }
    package.sync();
    return stuck;
}

void FinishCleanup(const FolderHandle& package, const std::vector<std::string>& clean,
                   const std::set<std::string>& previous, const std::set<std::string>& current,
                   const std::function<void(const std::string&)>& notify) {
    std::error_code error;
    for (const std::string& line : clean) {
        const std::vector<std::string> p = SplitTabs(line);
        std::string material, name;
        if (p.size() != 2)
            continue;
        if (p[0] == "D" && SplitPlace(p[1], material, name) && !material.empty() &&
            previous.contains(Key(material, name)) && !current.contains(Key(material, name))) {
            const FolderHandle folder = package.openFolder(material, error);
            if (!folder.valid() || folder.entry(name).kind != EntryKind::File)
                continue;
            if (notify)
                notify(name);
            folder.removeFile(name, error);
        } else if (p[0] == "R" && IsStorableName(p[1]) &&
                   package.entry(p[1]).kind == EntryKind::Folder) {
            if (notify)
                notify(p[1]);
            package.removeFolder(p[1], error); // only an empty folder goes
        }
    }
}

bool RemoveStagingFolder(const FolderHandle& package, const std::string& name) {
    if (!IsStagingFolderName(name) && !name.starts_with(kSetAsidePrefix))
        return false;
    return RemoveTree(package, name, 0);
}

PackageRepair RepairLocked(const FolderHandle& package) {
    PackageRepair all;
    for (const std::string& name : StagingNames(package)) {
        PackageRepair one = RepairStaging(package, name);
        if (Weight(one.result) > Weight(all.result))
            all.result = one.result;
        all.stuck.insert(all.stuck.end(), one.stuck.begin(), one.stuck.end());
        all.refused.insert(all.refused.end(), one.refused.begin(), one.refused.end());
    }
    return all;
}

PackageRepair RepairPackage(const std::string& folder) {
    PackageRepair repair;
    if (folder.empty())
        return repair;
    const std::filesystem::path path = platform::PathFromUtf8(folder);
    std::error_code error;
    const FolderHandle package = FolderHandle::Open(path, error);
    if (!package.valid())
        return repair;
    if (StagingNames(package).empty()) {
        // A lock file that nobody holds (left by a save killed as it began)
        // goes: taking it and letting it go removes it.
        if (package.entry(kPackageLockName).kind == EntryKind::File &&
            !platform::IsReadOnlyFolder(path))
            platform::InstanceLock::TryAcquire(path / kPackageLockName);
        return repair; // nothing else to do, and nothing else written
    }
    const bool interrupted = HasInterruptedSave(folder);
    if (platform::IsReadOnlyFolder(path)) {
        repair.result = interrupted ? RepairResult::ReadOnly : RepairResult::Nothing;
        return repair;
    }
    platform::InstanceLock::Attempt attempt;
    const auto lock = platform::InstanceLock::TryAcquire(path / kPackageLockName, &attempt);
    if (!lock) {
        switch (attempt.outcome) {
        case platform::InstanceLock::Outcome::HeldElsewhere:
            repair.result = RepairResult::Busy;
            break;
        case platform::InstanceLock::Outcome::OtherHost:
            repair.result = RepairResult::OtherHost;
            break;
        case platform::InstanceLock::Outcome::Refused:
            repair.result = RepairResult::NoLock;
            repair.lockProblem = std::string(kPackageLockName) + "是" + attempt.kind;
            break;
        default:
            repair.result = RepairResult::NoLock;
            repair.lockProblem = attempt.error.message();
            break;
        }
        repair.holder = attempt.holder;
        return repair;
    }
    return RepairLocked(package);
}

bool HasInterruptedSave(const std::string& folder) {
    if (folder.empty())
        return false;
    std::error_code error;
    const FolderHandle package = FolderHandle::Open(platform::PathFromUtf8(folder), error);
    for (const std::string& name : StagingNames(package)) {
        const EntryKind kind = package.entry(name).kind;
        if (kind == EntryKind::Other)
            return true; // a link where a staging folder belongs: not repaired by itself
        const FolderHandle staging = package.openFolder(name, error);
        StagingJournal read;
        if (staging.valid() && ReadJournal(staging, read) != JournalRead::Incomplete)
            return true;
    }
    return false;
}

bool SaveRunning(const std::string& folder) {
    return !folder.empty() &&
           platform::ProbeLock(platform::PathFromUtf8(folder) / kPackageLockName).outcome ==
               platform::InstanceLock::Outcome::HeldElsewhere;
}

} // namespace materials
