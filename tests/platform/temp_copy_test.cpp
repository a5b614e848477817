#include "platform/temp_copy.h"

#include "support/fixture_db.h"
#include "support/scoped_temp_folder.h"

#include <gtest/gtest.h>

#include <set>

namespace fs = std::filesystem;
using platform::TempCopy;
using testsupport::ScopedTempFolder;

namespace {

std::set<fs::path> FilesIn(const fs::path& folder) {
    std::set<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files.insert(entry.path());
    return files;
}

} // namespace

TEST(TempCopyTest, EachCopyIsAFileOfItsOwnInTheTemporaryFolderRemovedAfterwards) {
    testsupport::TempDir dir;
    const fs::path temp = dir.path() / "temp";
    for (const char* folder : {"temp", "a", "b"})
        fs::create_directories(dir.path() / folder);
    ScopedTempFolder scoped(temp);
    // What another program left there under the old fixed name and under our stem.
    testsupport::WriteFile(temp / "TEMPBP.XML", "other program");
    testsupport::WriteFile(dir.path() / "a" / "TempXml.XML", "<offer a='1'/>");
    testsupport::WriteFile(dir.path() / "b" / "TempXml.XML", "<offer b='2'/>");
    const std::set<fs::path> before = FilesIn(temp);
    {
        std::optional<TempCopy> first = TempCopy::Of(dir.path() / "a" / "TempXml.XML", "TEMPBP");
        std::optional<TempCopy> second = TempCopy::Of(dir.path() / "b" / "TempXml.XML", "TEMPBP");
        ASSERT_TRUE(first && second);
        EXPECT_NE(first->path(), second->path());
        for (const TempCopy* copy : {&*first, &*second}) {
            EXPECT_EQ(copy->path().parent_path(), temp);
            EXPECT_EQ(copy->path().extension(), ".XML");
            EXPECT_EQ(copy->path().filename().string().rfind("TEMPBP-", 0), 0u);
        }
        EXPECT_EQ(testsupport::ReadFile(first->path()), "<offer a='1'/>");
        EXPECT_EQ(testsupport::ReadFile(second->path()), "<offer b='2'/>");

        // Moving hands the file over; only the last owner removes it.
        const fs::path moved = first->path();
        TempCopy owner = std::move(*first);
        first.reset();
        EXPECT_TRUE(fs::exists(moved));
        EXPECT_EQ(owner.path(), moved);
    }
    EXPECT_EQ(FilesIn(temp), before);
    EXPECT_EQ(testsupport::ReadFile(temp / "TEMPBP.XML"), "other program");
}

TEST(TempCopyTest, NothingIsCopiedOrLeftWhenSourceOrFolderFail) {
    testsupport::TempDir dir;
    const fs::path temp = dir.path() / "temp";
    fs::create_directories(temp);
    testsupport::WriteFile(dir.path() / "big.XML", std::string(300 * 1024, 'x'));
    {
        ScopedTempFolder scoped(temp);
        EXPECT_FALSE(TempCopy::Of(dir.path() / "missing.XML", "TEMPBP"));
        EXPECT_FALSE(TempCopy::Of(dir.path(), "TEMPBP")); // a folder
        const auto big = TempCopy::Of(dir.path() / "big.XML", "TEMPBP");
        ASSERT_TRUE(big);
        EXPECT_EQ(fs::file_size(big->path()), 300u * 1024);
    }
    EXPECT_TRUE(FilesIn(temp).empty());
    ScopedTempFolder gone(dir.path() / "no such folder");
    EXPECT_FALSE(TempCopy::Of(dir.path() / "big.XML", "TEMPBP"));
}
