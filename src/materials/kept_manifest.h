#pragma once
// The kept document of the manifest operations (manifest.cpp).
//
// The materials window asks for the working copy dozens of times per action,
// and a manifest of thousands of entries takes far longer to parse than to
// read. The last manifest read or written here (per thread) is kept parsed,
// together with the exact bytes it was parsed from or written as. Every
// operation still reads the file, and parses it again unless it holds exactly
// those bytes: whatever changed the file in between (another program, a copy
// taken over it, a removal) is always seen. A write that fails drops the kept
// tree, which would hold a change the file does not.

#include "platform/xmldoc.h"

#include <string>

namespace materials {

// The manifest at `path` as it is on disk now; null when unreadable.
platform::XmlDocument* LoadKept(const std::string& path);
// Makes `doc`, parsed from `bytes`, the kept tree of `path`.
void KeepManifestTree(const std::string& path, platform::XmlDocument doc, std::string bytes);
// Writes `doc` to `path` (or, within a CombinedWrite of that file, when it
// ends). A failed write of the working copy is always reported: the window
// would otherwise show a change that the file does not hold.
bool SaveReported(const platform::XmlDocument& doc, const std::string& path);

} // namespace materials
