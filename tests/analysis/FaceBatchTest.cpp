// The verification and training batches over a folder of TGL faces.

#include <gtest/gtest.h>

#include <fstream>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/CandidateRegions.h"
#include "analysis/FaceBatch.h"
#include "analysis/NormalizeFacePose.h"
#include "analysis/WriteFeatures.h"
#include "mesh/FaceSynth.h"
#include "mesh/TglReader.h"
#include "tests/support/ScratchFolder.h"

namespace orvex {
namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void Spit(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class Captions : public Progress {
public:
    void Report(double, const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

// bad.tgl, face1.tgl with its picture, face2.tgl (the first resampled and turned), Part.STL, and
// beside them what the file list does not show: Notes.txt, a hidden .old.tgl and reg.txt made from
// face1's features.
class FaceBatch : public ::testing::Test {
protected:
    void SetUp() override {
        FaceSynthParams first;
        first.Grid = 81;
        first.Spacing = 1.5f;
        ASSERT_TRUE(Write_Face_Tgl(folder.File("face1.tgl"), first, 32).ok);
        FaceSynthParams second = first;
        second.Shift_X = 0.4f;
        second.Pose.Rotate[2] = 0.3f;
        ASSERT_TRUE(Write_Face_Tgl(folder.File("face2.tgl"), second, 0).ok);
        Spit(folder.File("bad.tgl"), "not a scan");
        Spit(folder.File("Notes.txt"), "x");
        Spit(folder.File("Part.STL"), "solid x\nendsolid x\n");
        Spit(folder.File(".old.tgl"), "not a scan");
        UniOb mesh;
        ASSERT_TRUE(Read_TGL(mesh, folder.File("face1.tgl")).ok);
        FindCandidateRegions(mesh);
        ASSERT_TRUE(Normalize_Face(mesh, FaceEyes{}).ok);
        ASSERT_TRUE(WriteFeatures(mesh, folder.File("reg.txt")).ok);
        params.templatePath = folder.File("reg.txt");
    }

    test::ScratchFolder folder;
    FaceBatchParams params;
};

TEST_F(FaceBatch, VerificationReportsEachFaceThenTheCounters) {
    const std::vector<std::string> paths = Folder_File_List(folder.Path().string());
    // Only the kinds the file list shows: no side file, no notes, no template, nothing hidden.
    ASSERT_EQ(paths.size(), 4u);
    EXPECT_EQ(paths[0], folder.File("bad.tgl"));
    EXPECT_EQ(paths[1], folder.File("face1.tgl"));
    EXPECT_EQ(paths[2], folder.File("face2.tgl"));
    EXPECT_EQ(paths[3], folder.File("Part.STL"));  // by name, case folded

    std::vector<std::size_t> visited;
    FaceBatchHooks hooks;
    hooks.fileDone = [&](std::size_t index, std::size_t count, const FaceBatchFile&) {
        EXPECT_EQ(count, 4u);
        visited.push_back(index);
    };
    const FaceBatchResult result = Run_Face_Batch(paths, params, hooks);
    ASSERT_TRUE(result.status.ok) << result.status.message;
    EXPECT_EQ(visited, (std::vector<std::size_t>{0, 1, 2, 3}));
    EXPECT_TRUE(result.files[3].skipped);

    ASSERT_EQ(result.lines.size(), 3u + 1u + 31u);
    EXPECT_EQ(result.lines[0].rfind(paths[0] + "\t-1\t", 0), 0u) << result.lines[0];
    EXPECT_EQ(result.lines[1].rfind(paths[1] + "\t", 0), 0u);
    const FaceBatchFile& second = result.files[2];
    EXPECT_FALSE(second.failed) << second.reason;
    EXPECT_GT(second.error, 0.0f);
    EXPECT_LT(second.error, 0.3f);
    EXPECT_EQ(result.lines[3], "==================");
    EXPECT_EQ(std::accumulate(result.counters.begin(), result.counters.end(), 0), 3);
    EXPECT_GE(result.counters[30], 1);
    EXPECT_EQ(result.counters[std::size_t(Face_Error_Bin(second.error))] >= 1, true);
    for (int k = 0; k < 31; ++k)
        EXPECT_EQ(result.lines[4 + std::size_t(k)], std::to_string(result.counters[std::size_t(k)]));
    // Eyes that fall on one region stop that face with the reason.
    params.eyes = {0.9f, 0.9f, 0.9f, 0.9f};
    const FaceBatchResult stuck = Run_Face_Batch({folder.File("face2.tgl")}, params);
    ASSERT_EQ(stuck.lines.size(), 33u);
    EXPECT_NE(stuck.lines[0].find("\t-1\t"), std::string::npos);
    EXPECT_NE(stuck.lines[0].find("same region"), std::string::npos) << stuck.lines[0];
    EXPECT_EQ(stuck.counters[30], 1);
}

TEST_F(FaceBatch, TrainingRewritesTheTemplateAndEndsAtAHundredPercent) {
    const std::string before = Slurp(params.templatePath);
    params.mode = FaceBatchMode::Training;
    Captions captions;
    FaceBatchHooks hooks;
    hooks.progress = &captions;
    const FaceBatchResult result = Run_Face_Batch(Folder_File_List(folder.Path().string()), params, hooks);
    ASSERT_TRUE(result.status.ok) << result.status.message;
    EXPECT_EQ(captions.texts, (std::vector<std::string>{"25 % completed", "50 % completed", "75 % completed",
                                                        "100 % completed"}));
    ASSERT_EQ(result.lines.size(), 1u);  // only the unreadable file
    EXPECT_EQ(result.lines[0].rfind(folder.File("bad.tgl") + "\t-1\t", 0), 0u);
    const std::string after = Slurp(params.templatePath);
    EXPECT_NE(after, before);
    EXPECT_EQ(after.substr(0, after.find('\n')), before.substr(0, before.find('\n')));  // same SIZE line

    // A file that fails leaves the template as it was.
    const FaceBatchResult failed = Run_Face_Batch({folder.File("bad.tgl")}, params);
    EXPECT_TRUE(failed.status.ok);
    EXPECT_EQ(Slurp(params.templatePath), after);
}

TEST_F(FaceBatch, NoTemplateStopsBothBatchesBeforeAnyFile) {
    for (const FaceBatchMode mode : {FaceBatchMode::Verification, FaceBatchMode::Training}) {
        params.mode = mode;
        params.templatePath = folder.File("none.txt");
        FaceBatchResult result = Run_Face_Batch({folder.File("face1.tgl")}, params);
        EXPECT_FALSE(result.status.ok);
        EXPECT_NE(result.status.message.find("none.txt"), std::string::npos);
        EXPECT_TRUE(result.files.empty());

        Spit(folder.File("empty.txt"), "SIZE\t0\n");
        params.templatePath = folder.File("empty.txt");
        result = Run_Face_Batch({folder.File("face1.tgl")}, params);
        EXPECT_FALSE(result.status.ok);
        EXPECT_NE(result.status.message.find("no records"), std::string::npos);
        EXPECT_TRUE(result.lines.empty());
        EXPECT_EQ(Slurp(folder.File("empty.txt")), "SIZE\t0\n");
    }
}

}  // namespace
}  // namespace orvex
