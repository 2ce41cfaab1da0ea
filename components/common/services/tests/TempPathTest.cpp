#include "components/common/services/TempPath.h"

#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/fs/testing/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(TempPath, FolderAndUniqueFilesLieUnderTheTemporaryFolder)
{
    plat::TempFolder root;
    plat::ScopedEnvironment tmp("TMPDIR", root.path().c_str());
    const std::string folder = MakeTempFolder("DownloadTemp");
    EXPECT_EQ(folder, root / "DownloadTemp/");
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(MakeTempFolder("DownloadTemp"), folder);

    const std::string a = MakeTempFilePath("DownloadTemp");
    const std::string b = MakeTempFilePath("DownloadTemp");
    EXPECT_NE(a, b);
    EXPECT_EQ(a.rfind(folder + "tmp", 0), 0u);
    EXPECT_TRUE(std::filesystem::is_regular_file(a));
    EXPECT_EQ(std::filesystem::file_size(a), 0u);
}
