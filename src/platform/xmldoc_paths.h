#pragma once
// The paths the program asks of XmlDocument (xmldoc.cpp), walked without
// XPath.

#include <libxml/tree.h>

#include <cstddef>
#include <string_view>
#include <vector>

namespace platform {

// The name tests of a path ".//a//b//…" whose steps are plain names (no
// prefix, no wildcard, no predicate): what every caller of the manifest code
// asks, thousands of times. Any other path goes to libxml2's XPath.
constexpr std::size_t kMaxDescendantSteps = 4;
struct DescendantPath {
    std::string_view steps[kMaxDescendantSteps];
    std::size_t count = 0;
};

// Whether `path` is such a path; its steps go into `out`.
bool ParseDescendantPath(std::string_view path, DescendantPath& out);

// The nodes ".//s1//s2//…//sn" selects from `context`, in document order and
// each once: the descendants named sn below a chain of descendants named s1,
// …, s(n-1), each inside the one before. Walked depth first, counting for
// each element how much of the chain its ancestors (below the context) hold;
// taking the first match of each step is never worse than a later one. Like
// libxml2's descendant axis, only the content of elements is entered.
void SelectDescendants(xmlNode* context, const DescendantPath& path, bool firstOnly,
                       std::vector<xmlNode*>& out);

} // namespace platform
