// Writes replace the target only when complete; failures are reported and leave no debris.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "geometry/AtomicFile.h"

using namespace orvex;
namespace fs = std::filesystem;

namespace {
class AtomicFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "orvex_atomic_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    static std::string Read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    int FileCount() const {
        return int(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }

    fs::path dir_;
};
}  // namespace

TEST_F(AtomicFileTest, CommitCreatesTheFileWithTheData) {
    const fs::path target = dir_ / "out.txt";
    AtomicFile file;
    ASSERT_TRUE(file.Open(target.string()).ok);
    file.Write("abc", 3);
    file.Printf(" %d %s", 42, "x");
    Status status = file.Commit();
    EXPECT_TRUE(status.ok) << status.message;
    EXPECT_EQ(Read(target), "abc 42 x");
    EXPECT_EQ(FileCount(), 1);  // no temporary left beside it
}

TEST_F(AtomicFileTest, WriteAtPatchesBytesAlreadyWritten) {
    const fs::path target = dir_ / "patched.bin";
    AtomicFile file;
    ASSERT_TRUE(file.Open(target.string()).ok);
    file.Write("0000tail", 8);
    file.WriteAt(1, "12", 2);
    file.Write("!", 1);  // continues at the end
    ASSERT_TRUE(file.Commit().ok);
    EXPECT_EQ(Read(target), "0120tail!");
}

TEST_F(AtomicFileTest, DiscardedFileLeavesTheOldTargetAndNoTemporary) {
    const fs::path target = dir_ / "keep.txt";
    std::ofstream(target) << "old";
    {
        AtomicFile file;
        ASSERT_TRUE(file.Open(target.string()).ok);
        file.Write("new content", 11);
    }  // never committed
    EXPECT_EQ(Read(target), "old");
    EXPECT_EQ(FileCount(), 1);
}

TEST_F(AtomicFileTest, FullDeviceReportsFailure) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "/dev/full is not available here";
    AtomicFile file;
    ASSERT_TRUE(file.Open("/dev/full").ok);
    file.Write("data", 4);
    Status status = file.Commit();
    EXPECT_FALSE(status.ok);
    EXPECT_NE(status.message.find("/dev/full"), std::string::npos) << status.message;
}

TEST_F(AtomicFileTest, MissingFolderReportsFailure) {
    const fs::path target = dir_ / "no_such_folder" / "out.txt";
    AtomicFile file;
    Status status = file.Open(target.string());
    EXPECT_FALSE(status.ok);
    EXPECT_NE(status.message.find("out.txt"), std::string::npos) << status.message;
    EXPECT_FALSE(file.Commit().ok);
}
