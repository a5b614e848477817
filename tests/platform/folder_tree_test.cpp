#include "platform/folder_tree.h"

#include "platform/utf8.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

TEST(FolderTree, MakePathAndDeleteFolderTreeStayInsideTheFolder) {
    namespace fs = std::filesystem;
    const auto u8 = [](const fs::path& p) { return platform::PathToUtf8(p); };
    const fs::path root =
        fs::temp_directory_path() / ("quillor_paths_" + std::to_string(std::random_device{}()));
    fs::remove_all(root);
    const std::string deep = u8(root / "甲" / "乙" / "丙");
    EXPECT_TRUE(platform::MakePath(deep));
    EXPECT_TRUE(platform::MakePath(deep + "/")); // exists already
    std::ofstream(root / "文件") << "x";
    EXPECT_FALSE(platform::MakePath(u8(root / "文件" / "下")));

    // A tree with a read-only file and folder, and links leading out of it.
    const fs::path outside = root / "外面";
    fs::create_directories(outside);
    std::ofstream(outside / "keep.txt") << "keep";
    std::ofstream(root / "甲" / "乙" / "ro.txt") << "ro";
    fs::permissions(root / "甲" / "乙" / "ro.txt", fs::perms::owner_read);
    fs::create_directory_symlink(outside, root / "甲" / "链接");
    fs::create_symlink(outside / "keep.txt", root / "甲" / "乙" / "丙" / "文件链接");
    fs::permissions(root / "甲" / "乙", fs::perms::owner_read | fs::perms::owner_exec);
    int idle = 0;
    EXPECT_TRUE(platform::DeleteFolderTree(u8(root / "甲"), [&] { ++idle; }));
    EXPECT_FALSE(fs::exists(root / "甲"));
    EXPECT_EQ(idle, 5);
    EXPECT_TRUE(fs::exists(outside / "keep.txt"));
    // A folder that is itself a link is unlinked only; a file is not a folder.
    fs::create_directory_symlink(outside, root / "整个链接");
    EXPECT_TRUE(platform::DeleteFolderTree(u8(root / "整个链接")));
    EXPECT_TRUE(fs::exists(outside / "keep.txt"));
    EXPECT_FALSE(platform::DeleteFolderTree(u8(root / "文件")));
    EXPECT_TRUE(fs::exists(root / "文件"));
    EXPECT_TRUE(platform::DeleteFolderTree(u8(root / "没有")));
    fs::remove_all(root);
}
