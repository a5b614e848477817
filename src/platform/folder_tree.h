#pragma once
// Folder trees made and deleted by path: the package folder's material
// folders are made with MakePath, and whole trees (a staging folder left
// behind, a folder the user empties) go with DeleteFolderTree.

#include <functional>
#include <string>

namespace platform {

// Creates every folder of the path in turn, from the first component on; a
// folder that exists already or cannot be made is passed over. True when the
// whole path is a folder afterwards.
bool MakePath(const std::string& path);
// Deletes the folder with everything in it, read-only and hidden entries
// included, depth first; `idle` runs between entries. A link inside is removed
// as a link and never followed, so nothing outside the folder is touched; a
// folder that is itself a link is only unlinked. True when the folder is gone
// afterwards (also when it was not there); failures end it quietly.
bool DeleteFolderTree(const std::string& folder, const std::function<void()>& idle = {});

} // namespace platform
