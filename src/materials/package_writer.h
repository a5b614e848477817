#pragma once
// The pieces of the package writer (package_writer.cpp, behind SavePackage)
// that the materials list written by "打印" also uses.

#include "materials/save_folder.h"

#include <functional>
#include <string>

namespace platform {
class XmlDocument;
}

namespace materials {

// The lines of "材料清单.txt" before the files: both summaries.
std::string ListHead(const SummaryWriter& summary);
// fieldforms::WriteApplicationSummary.
SummaryWriter DefaultSummary();
// One numbered line per stored file of the manifest for which
// `isStored(material, name)` holds, numbered across the package, in manifest
// order.
std::string ListedFiles(
    const platform::XmlDocument& doc,
    const std::function<bool(const std::string& material, const std::string& name)>& isStored);

} // namespace materials
