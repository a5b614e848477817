#pragma once
// Runs the Access/Jet importer (quillor-import-mdb) as a child process, so that
// libmdb looping or allocating without bound on a damaged file costs at most
// the time and memory granted here: a child over its time is killed, and the
// child caps its own address space at start.

#include "accessimport/jet_import.h"

#include <chrono>
#include <cstddef>
#include <filesystem>

namespace accessimport::ui {

struct ChildImportLimits {
    std::chrono::milliseconds timeLimit{30000};
    std::size_t memoryLimitMb = 1024;
};

// quillor-import-mdb beside the running program.
std::filesystem::path ChildImporterPath();

// Runs ChildImporterPath() with the default limits.
accessimport::JetImportRunner MakeChildImportRunner();
// Runs the given importer program (tests, tools) with the given limits.
accessimport::JetImportRunner MakeChildImportRunner(std::filesystem::path executable,
                                                    ChildImportLimits limits = {});

} // namespace accessimport::ui
