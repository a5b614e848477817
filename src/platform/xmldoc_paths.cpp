#include "platform/xmldoc_paths.h"

#include <algorithm>
#include <cstring>

namespace platform {
namespace {

bool IsPlainNameStep(std::string_view step) {
    if (step.empty())
        return false;
    const auto letter = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    };
    if (!letter(step.front()))
        return false;
    return std::all_of(step.begin(), step.end(), [&](char c) {
        return letter(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
    });
}

// What XPath's name test without a prefix selects: an element of that name in
// no namespace.
bool NameTest(const xmlNode* node, std::string_view name) {
    if (node->type != XML_ELEMENT_NODE || node->ns != nullptr || node->name == nullptr)
        return false;
    const char* text = reinterpret_cast<const char*>(node->name);
    return text[0] == name[0] && std::strncmp(text, name.data(), name.size()) == 0 &&
           text[name.size()] == '\0';
}

} // namespace

bool ParseDescendantPath(std::string_view path, DescendantPath& out) {
    constexpr std::string_view lead = ".//";
    if (path.substr(0, lead.size()) != lead)
        return false;
    path.remove_prefix(lead.size());
    out.count = 0;
    while (true) {
        const std::size_t cut = path.find("//");
        const std::string_view step = path.substr(0, cut);
        if (!IsPlainNameStep(step) || out.count == kMaxDescendantSteps)
            return false;
        out.steps[out.count++] = step;
        if (cut == std::string_view::npos)
            return true;
        path.remove_prefix(cut + 2);
    }
}

void SelectDescendants(xmlNode* context, const DescendantPath& path, bool firstOnly,
                       std::vector<xmlNode*>& out) {
    if (context == nullptr || path.count == 0 ||
        (context->type != XML_ELEMENT_NODE && context->type != XML_DOCUMENT_NODE))
        return;
    const std::size_t last = path.count - 1;
    std::vector<std::size_t> held{0}; // chain steps held by the ancestors of the current level
    xmlNode* node = context->children;
    while (node != nullptr) {
        const std::size_t above = held.back();
        if (above == last && NameTest(node, path.steps[last])) {
            out.push_back(node);
            if (firstOnly)
                return;
        }
        if (node->type == XML_ELEMENT_NODE && node->children != nullptr) {
            held.push_back(above < last && NameTest(node, path.steps[above]) ? above + 1 : above);
            node = node->children;
            continue;
        }
        while (node != nullptr && node->next == nullptr) {
            node = node->parent;
            held.pop_back();
            if (node == context || held.empty())
                return;
        }
        if (node != nullptr)
            node = node->next;
    }
}

} // namespace platform
