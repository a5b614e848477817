#pragma once
// Where scans and shrunk copies go: the folder "扫描文件" in the program's
// data folder. A file stays until the applicant deletes it; its name says the
// item, the material, the entry and when it was made.

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace scan {

inline constexpr const char* kScanFolderName = "扫描文件";

// The folder (created when missing); "" when it cannot be made.
std::string ScanFolder(const std::string& dataFolder);

// "<item>-<material>-<entry>-<yyyyMMdd-HHmmss><suffix>.<extension>", each part
// through ToStandardName, never a name that exists already in `folder` (a
// counter is added).
std::string ScanFileName(const std::string& folder, const std::string& item,
                         const std::string& material, const std::string& entry,
                         const std::string& suffix, const std::string& extension, std::time_t when);

// "压缩..." writes its copy under a preview name ("~" before the name it
// will have) and gives it its name only on "接受"; a preview left behind by a
// program that ended before 接受 or 取消 is removed at the next start.
inline constexpr const char* kShrinkSuffix = "-压缩";
// The copy "识别文字" makes of a PDF (its preview named the same way).
inline constexpr const char* kTextSuffix = "-文字";
std::string ShrinkPreviewPath(const std::string& finalPath);
// Removes the previews left in the data folder's "扫描文件"; how many.
int RemoveShrinkPreviews(const std::string& dataFolder);
// Whether a file is a copy "压缩..." made (named with kShrinkSuffix in
// "扫描文件"): it is not offered for shrinking again.
bool IsShrinkCopy(const std::string& path);

// The bytes of an image or PDF the applicant chose: a regular file only, and
// at most 1 GB; false when it cannot be read.
bool ReadInputFile(const std::string& path, std::vector<std::uint8_t>& out);

} // namespace scan
