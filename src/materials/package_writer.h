#pragma once
// The pieces of the save (package_writer.cpp, behind SavePackage) that the
// materials list written by "打印" also uses (materials_list.cpp).

#include "materials/save_folder.h"

#include <functional>
#include <string>
#include <vector>

namespace platform {
class XmlDocument;
class XmlNode;
} // namespace platform

namespace materials {

// The manifest's material elements, in order (none when its root is no offer).
std::vector<platform::XmlNode> MaterialNodes(const platform::XmlDocument& doc);
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
