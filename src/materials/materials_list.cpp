// The text of "材料清单.txt", written by the save and by "打印".

#include "fieldforms/completeness.h"
#include "materials/manifest.h"
#include "materials/modfjgl.h"
#include "materials/package_writer.h"
#include "platform/xmldoc.h"

namespace materials {

using platform::XmlDocument;
using platform::XmlNode;

std::vector<XmlNode> MaterialNodes(const XmlDocument& doc) {
    const XmlNode root = doc.documentElement();
    if (root.name() != "offer")
        return {};
    return root.selectNodes(".//attachments//attachment");
}

std::string ListHead(const SummaryWriter& summary) {
    fieldforms::TextLines lines;
    lines.WriteLine("行政审批申请书：");
    summary(fieldforms::kApplicationForm, lines);
    lines.WriteLine("");
    lines.WriteLine("项目基本信息：");
    summary(fieldforms::kBasicInformation, lines);
    lines.WriteLine("");
    lines.WriteLine("上报材料清单：");
    return lines.text();
}

SummaryWriter DefaultSummary() {
    return [](int mode, fieldforms::LineWriter& writer) {
        fieldforms::WriteApplicationSummary(mode, writer);
    };
}

std::string
ListedFiles(const XmlDocument& doc,
            const std::function<bool(const std::string&, const std::string&)>& isStored) {
    fieldforms::TextLines lines;
    int n = 0;
    for (const XmlNode& material : MaterialNodes(doc)) {
        const std::string name = material.selectSingleNode(".//fjmc").text();
        for (const XmlNode& file : material.selectNodes(".//fileList//file")) {
            const std::string link = file.selectSingleNode(".//fileUrl").text();
            if (!IsStoredLink(link))
                continue;
            const std::string stored = LinkWithoutPrefix(link);
            if (IsStorableName(name) && IsStorableName(stored) && isStored(name, stored))
                lines.WriteLine(std::to_string(++n) + "、" + stored);
        }
    }
    return lines.text();
}

} // namespace materials
