// Writes replace the target only when complete; failures are reported and leave no debris.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

namespace {

Status Save(const fs::path& target, const std::string& text) {
    AtomicFile file;
    if (Status s = file.Open(target.string()); !s) return s;
    file.Write(text.data(), text.size());
    return file.Commit();
}

mode_t Mode_Of(const fs::path& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// A folder that refuses new files, even to root where the file system allows it: the immutable
// flag (root ignores permission bits but not that flag). False when neither can be had here.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const fs::path& folder) : folder_(folder) {
        if (::geteuid() != 0) {
            fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
            locked_ = true;
        } else {
            immutable_ = Set_Immutable(true);
            locked_ = immutable_;
        }
    }
    ~ReadOnlyFolder() {
        if (immutable_) Set_Immutable(false);
        fs::permissions(folder_, fs::perms::owner_all);
    }
    bool Locked() const { return locked_; }

private:
    bool Set_Immutable(bool on) {
        const int fd = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY);
        if (fd < 0) return false;
        int flags = 0;
        bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(fd);
        return ok;
    }
    fs::path folder_;
    bool locked_ = false, immutable_ = false;
};

int Refuse_Temp(char*) {
    errno = EACCES;
    return -1;
}

// Acts out a folder that refuses the temporary file, as a read-only folder does.
class RefusingFolder {
public:
    RefusingFolder() { AtomicFile::Make_Temp = Refuse_Temp; }
    ~RefusingFolder() { AtomicFile::Make_Temp = ::mkstemp; }
};

}  // namespace

TEST_F(AtomicFileTest, SavingThroughLinksChangesTheFileTheyLeadToAndKeepsThem) {
    fs::create_directory(dir_ / "sub");
    const fs::path real = dir_ / "sub" / "real.txt";
    std::ofstream(real) << "old";
    fs::create_symlink("sub/real.txt", dir_ / "first");  // relative to the link's folder
    fs::create_symlink(dir_ / "first", dir_ / "second");
    ASSERT_TRUE(Save(dir_ / "second", "new through two links").ok);
    EXPECT_TRUE(fs::is_symlink(dir_ / "second"));
    EXPECT_TRUE(fs::is_symlink(dir_ / "first"));
    EXPECT_EQ(Read(real), "new through two links");
    EXPECT_EQ(FileCount(), 3);  // sub, first, second: no temporary left
    EXPECT_EQ(int(std::distance(fs::directory_iterator(dir_ / "sub"), fs::directory_iterator())), 1);

    // A link to a file not made yet makes the file and stays a link.
    fs::create_symlink("sub/made.txt", dir_ / "dangling");
    ASSERT_TRUE(Save(dir_ / "dangling", "made").ok);
    EXPECT_TRUE(fs::is_symlink(dir_ / "dangling"));
    EXPECT_EQ(Read(dir_ / "sub" / "made.txt"), "made");

    fs::create_symlink("loop_b", dir_ / "loop_a");
    fs::create_symlink("loop_a", dir_ / "loop_b");
    const Status loop = Save(dir_ / "loop_a", "x");
    EXPECT_FALSE(loop.ok);
    EXPECT_NE(loop.message.find("loop_a"), std::string::npos) << loop.message;
}

TEST_F(AtomicFileTest, ExistingFileKeepsItsPermissionBits) {
    for (const mode_t mode : {mode_t(0640), mode_t(0755), mode_t(0600)}) {
        const fs::path target = dir_ / ("mode" + std::to_string(mode) + ".txt");
        std::ofstream(target) << "old";
        ASSERT_EQ(::chmod(target.c_str(), mode), 0);
        ASSERT_TRUE(Save(target, "new").ok);
        EXPECT_EQ(Read(target), "new");
        EXPECT_EQ(Mode_Of(target), mode) << std::oct << mode;
    }
    // A new file gets what fopen would give it.
    const mode_t mask = ::umask(022);
    ::umask(mask);
    ASSERT_TRUE(Save(dir_ / "fresh.txt", "x").ok);
    EXPECT_EQ(Mode_Of(dir_ / "fresh.txt"), 0666 & ~mask);
}

TEST_F(AtomicFileTest, WritableFileInAReadOnlyFolderIsRewrittenInPlace) {
    const fs::path target = dir_ / "data.txt";
    std::ofstream(target) << "old content, longer than the new";
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    ReadOnlyFolder readOnly(dir_);
    if (!readOnly.Locked()) GTEST_SKIP() << "no way to make a folder read-only for this user here";
    ASSERT_TRUE(Save(target, "new").ok);
    EXPECT_EQ(Read(target), "new");
    EXPECT_EQ(Mode_Of(target), 0640u);
    EXPECT_EQ(FileCount(), 1);
    EXPECT_FALSE(Save(dir_ / "other.txt", "x").ok);  // nothing to rewrite: still refused
}

TEST_F(AtomicFileTest, RefusedTemporaryFallsBackToRewritingOnlyACompleteFile) {
    const fs::path target = dir_ / "data.bin";
    std::ofstream(target) << "0123456789";
    RefusingFolder refusing;
    {
        AtomicFile file;
        ASSERT_TRUE(file.Open(target.string()).ok);
        file.Write("abcdef", 6);
        EXPECT_EQ(Read(target), "0123456789");  // untouched while the content is being made
        file.WriteAt(1, "XY", 2);
        file.Write("!", 1);
        ASSERT_TRUE(file.Finish().ok);
        EXPECT_EQ(Read(target), "0123456789");
        Status status = file.Commit();
        EXPECT_TRUE(status.ok) << status.message;
    }
    EXPECT_EQ(Read(target), "aXYdef!");  // the old, longer content cut to the new length
    {
        AtomicFile file;
        ASSERT_TRUE(file.Open(target.string()).ok);
        file.Write("never committed", 15);
    }
    EXPECT_EQ(Read(target), "aXYdef!");
    EXPECT_EQ(FileCount(), 1);

    const Status missing = Save(dir_ / "new.txt", "x");
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.message.find("new.txt: cannot create a file there"), std::string::npos)
        << missing.message;
}

TEST_F(AtomicFileTest, FilesThatCannotBeReplacedAreRefusedBeforeWriting) {
    const Status folder = Save(dir_, "x");
    EXPECT_FALSE(folder.ok);
    EXPECT_NE(folder.message.find("is a folder"), std::string::npos) << folder.message;
    if (::geteuid() == 0) GTEST_SKIP() << "root may write read-only files";
    const fs::path target = dir_ / "locked.txt";
    std::ofstream(target) << "old";
    ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
    EXPECT_FALSE(Save(target, "new").ok);
    EXPECT_EQ(Read(target), "old");
    RefusingFolder refusing;
    EXPECT_FALSE(Save(target, "new").ok);
    EXPECT_EQ(Read(target), "old");
}
