#pragma once
// Where the program keeps its data: the template database 系统模板.mdb (which
// also holds the user's entries), the working manifest TempXml.XML, the default
// package folders and the instance lock.
//
// A program unpacked into a folder the user can write keeps them beside itself,
// as it always has. An installed program (<prefix>/bin with <prefix>/share/quillor)
// never writes into its installation folder, and a program whose folder cannot
// be written (read-only medium, system folder) cannot: both keep the data in a
// folder of the user's own and copy the template database they bring there on
// first start. Each user thus has his own data.

#include "platform/instance_lock.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace startup {

struct DataFolderChoice {
    std::filesystem::path folder; // where the data lie
    // The template database copied into `folder` when it has none yet; empty
    // when the data lie beside the program (nothing is copied there).
    std::filesystem::path bundledDatabase;
    bool perUser = false;
};

// True when a file can be created in `folder` (tried with a probe file that is
// removed at once). False for a missing folder or anything that is not one.
bool FolderIsWritable(const std::filesystem::path& folder);

using WritableProbe = std::function<bool(const std::filesystem::path& folder)>;

// The data folder for a program in `executableFolder`; `userDataFolder` is the
// system's per-user application-data folder (it need not exist yet).
DataFolderChoice ChooseDataFolder(const std::filesystem::path& executableFolder,
                                  const std::filesystem::path& userDataFolder,
                                  const WritableProbe& isWritable = FolderIsWritable);

// Creates the chosen folder when it is a per-user one. False when it cannot be
// had; `message` then holds the fatal message, naming the folder.
bool CreateDataFolder(const DataFolderChoice& choice, std::string& message);

// Copies the bundled template database into the chosen folder when it has no
// database yet (never over the user's own). The copy appears complete or not at
// all, and is writable by the user even when the bundled file is read-only. A
// missing bundled database is no failure here: start-up reports the missing
// database as always. False (with the fatal message) when the copy fails.
bool ProvideTemplateDatabase(const DataFolderChoice& choice, std::string& message);

inline constexpr const char* kDataFolderFailureTitle = "严重错误";

enum class ClaimResult { Claimed, TakenByAnotherInstance, Failed };

// Start-up's first steps on the chosen folder: creates it, claims it for this
// instance (the lock guards the folder actually used) and copies the bundled
// template database into it. The lock lives as long as the returned object;
// nullptr when the program must end: the user has been told through the
// prompter ("严重错误" naming the folder, or that another instance runs there).
std::unique_ptr<platform::InstanceLock> ClaimDataFolder(const DataFolderChoice& choice,
                                                        ClaimResult* result = nullptr);

} // namespace startup
