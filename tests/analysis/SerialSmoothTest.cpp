// The smoothing batch on real files: STL files are rewritten smoothed with their volume and a face
// table beside them; every file it cannot or must not change stays byte for byte and is named.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "analysis/SerialSmooth.h"
#include "geometry/AtomicFile.h"
#include "mesh/MeshWriters.h"
#include "mesh/StlReader.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/TestMeshes.h"

namespace {

namespace fs = std::filesystem;
using namespace orvex;

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Put(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

// A sphere with bumps, so smoothing moves it and restoration has volume to give back.
void Write_Bumpy_Sphere(const fs::path& path) {
    UniOb mesh;
    test::Make_Sphere(mesh, 10.0f, 3);
    for (unsigned v = 0; v < mesh.Vertex_Count; ++v) {
        const float s = 1.0f + 0.05f * std::sin(float(v) * 1.7f);
        mesh.Vertex_Pos[v] = {mesh.Vertex_Pos[v].x * s, mesh.Vertex_Pos[v].y * s, mesh.Vertex_Pos[v].z * s};
    }
    test::Finish_Mesh(mesh);
    ASSERT_TRUE(Write_STL(&mesh, path.string()));
}

double Volume_Of(const fs::path& path) {
    UniOb mesh;
    EXPECT_TRUE(Read_STL(mesh, path.string()));
    return mesh.Volume;
}

// A folder that refuses new files: its permission bits for a user, the immutable flag for root
// (who ignores the bits); where neither can be had, the temporary files are refused as such a
// folder would.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const fs::path& folder) : folder_(folder) {
        if (::geteuid() != 0) {
            fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
        } else if (!(immutable_ = Set_Immutable(true))) {
            AtomicFile::Make_Temp = [](char*) {
                errno = EACCES;
                return -1;
            };
        }
    }
    ~ReadOnlyFolder() {
        if (immutable_) Set_Immutable(false);
        AtomicFile::Make_Temp = ::mkstemp;
        fs::permissions(folder_, fs::perms::owner_all);
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

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
    bool immutable_ = false;
};

class StopAtOnce : public Progress {
public:
    void Report(double, const std::string&) override {}
    bool IsCancelRequested() const override { return true; }
};

class SerialSmooth : public ::testing::Test {
protected:
    test::ScratchFolder scratch_{"orvex_serial"};
    fs::path folder = scratch_.Path();
};

TEST_F(SerialSmooth, RewritesStlFilesAndLeavesEveryOtherFileAsItWas) {
    const fs::path first = folder / "a.stl", second = folder / "b.STL";
    Write_Bumpy_Sphere(first);
    fs::copy_file(first, second);
    const std::string original = Slurp(first);
    const double volume = Volume_Of(first);

    const fs::path truncated = folder / "c.stl";
    Put(truncated, original.substr(0, original.size() - 20));
    const std::string truncatedBytes = Slurp(truncated);
    const fs::path points = folder / "d.xyz";
    Put(points, "1 2 3\n4 5 6\n");
    const fs::path oddCase = folder / "e.Stl";
    fs::copy_file(first, oddCase);

    std::vector<SerialSmoothFile> files;
    for (const fs::path& path : {first, second, truncated, points, oddCase})
        files.push_back(Serial_Smooth_File(path.string(), SerialSmoothParams{0.5f, 3, 0}));

    for (int i : {0, 1}) {
        const fs::path path = i == 0 ? first : second;
        ASSERT_EQ(files[i].outcome, SerialSmoothOutcome::Smoothed) << Serial_Smooth_Line(files[i]);
        ASSERT_EQ(files[i].steps.size(), 3u);
        for (int steps : files[i].steps) EXPECT_TRUE(steps >= 1 && steps <= 20) << steps;
        EXPECT_NE(Slurp(path), original);
        EXPECT_NEAR(Volume_Of(path), volume, 1e-5 * volume);
        const std::string table = Slurp(path.string() + ".txt");
        EXPECT_EQ(table.rfind("ARRAY SET as", 0), 0u);
        EXPECT_NE(table.find("ARRAY_SIZE 1280\n"), std::string::npos);
    }
    // Both copies went through the same passes.
    EXPECT_EQ(Slurp(first), Slurp(second));

    EXPECT_EQ(files[2].outcome, SerialSmoothOutcome::ReadFailed);
    EXPECT_NE(files[2].message.find("truncated"), std::string::npos) << files[2].message;
    EXPECT_EQ(files[3].outcome, SerialSmoothOutcome::NotStl);
    EXPECT_EQ(files[4].outcome, SerialSmoothOutcome::NotStl);
    EXPECT_EQ(Slurp(truncated), truncatedBytes);
    EXPECT_EQ(Slurp(points), "1 2 3\n4 5 6\n");
    EXPECT_EQ(Slurp(oddCase), original);
    for (const fs::path& kept : {truncated, points, oddCase})
        EXPECT_FALSE(fs::exists(kept.string() + ".txt"));

    EXPECT_EQ(Serial_Smooth_Summary(files), "2 of 5 files smoothed; skipped: c.stl, d.xyz, e.Stl");
    EXPECT_NE(Serial_Smooth_Line(files[2]).find(truncated.string() + ": skipped"), std::string::npos);
}

TEST_F(SerialSmooth, ReadOnlyFolderKeepsTheOriginalAndSaysSo) {
    const fs::path path = folder / "locked.stl";
    Write_Bumpy_Sphere(path);
    const std::string original = Slurp(path);
    SerialSmoothFile result;
    {
        ReadOnlyFolder locked(folder);
        result = Serial_Smooth_File(path.string(), SerialSmoothParams{});
    }
    EXPECT_EQ(result.outcome, SerialSmoothOutcome::WriteFailed);
    EXPECT_NE(result.message.find("locked.stl.txt"), std::string::npos) << result.message;
    EXPECT_EQ(Slurp(path), original);
    EXPECT_FALSE(fs::exists(path.string() + ".txt"));
    EXPECT_EQ(Serial_Smooth_Summary({result}), "0 of 1 files smoothed; failed: locked.stl");
}

TEST_F(SerialSmooth, MissingFileAndStopLeaveEverythingAlone) {
    const SerialSmoothFile missing = Serial_Smooth_File((folder / "none.stl").string(), {});
    EXPECT_EQ(missing.outcome, SerialSmoothOutcome::ReadFailed);
    EXPECT_FALSE(fs::exists(folder / "none.stl"));

    const fs::path path = folder / "kept.stl";
    Write_Bumpy_Sphere(path);
    const std::string original = Slurp(path);
    StopAtOnce stop;
    const SerialSmoothFile stopped = Serial_Smooth_File(path.string(), {}, &stop);
    EXPECT_EQ(stopped.outcome, SerialSmoothOutcome::Stopped);
    EXPECT_EQ(Slurp(path), original);
    EXPECT_FALSE(fs::exists(path.string() + ".txt"));
    EXPECT_EQ(Serial_Smooth_Summary({missing, stopped}),
              "0 of 2 files smoothed; skipped: none.stl; stopped at kept.stl");
}

}  // namespace
