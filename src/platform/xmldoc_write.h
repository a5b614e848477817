#pragma once
// The writing side of XmlDocument (xmldoc.cpp): the tree as text in its
// declared encoding, GB2312 through a strict encoder of its own.

#include <libxml/tree.h>

#include <string>

namespace platform {

// The tree as text in the given encoding (with that declaration); false when
// libxml2 fails.
bool DumpDocument(xmlDoc* doc, const char* encoding, std::string& text);

// Whether every name the tree writes is ASCII (see xmldoc_write.cpp).
bool NamesAreAscii(const xmlDoc* doc);

} // namespace platform
