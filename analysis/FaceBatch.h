#pragma once
// The batch training and verification of the Run menu, over a list of files in the file list's
// order; the window and `orvex face` both run it. Each TGL entry is read, gets the template file,
// its candidate regions, its eyes and its pose; verification then matches it, training trains the
// template on it and writes the template file back, so each file trains what the one before left.
// Entries whose name does not end in ".tgl" (any case) are passed over.
//
// A missing template file, or one without records, stops the batch before the first file. A file
// whose reading or pose fails gets the line path, tab, -1, tab, reason (counter 30); training then
// leaves the template file as it was. Verification lines are path, tab, error (general float
// format); after the last file come "==================" and the 31 counters, counter 0 first:
// floor(error x 10) when 0 <= error x 10 < 30, counter 30 otherwise (-1, 3.0, huge, NaN).

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "analysis/NormalizeFacePose.h"
#include "geometry/Progress.h"
#include "geometry/Status.h"

namespace orvex {

enum class FaceBatchMode { Training, Verification };

inline constexpr const char* kFaceTemplateName = "reg.txt";
inline constexpr const char* kFaceReportRule = "==================";

struct FaceBatchParams {
    FaceBatchMode mode = FaceBatchMode::Verification;
    std::string templatePath = kFaceTemplateName;  // relative names are taken in the working folder
    FaceEyes eyes;
};

struct FaceBatchFile {
    std::string path;
    bool skipped = false;  // not a TGL name: nothing read, no line, no counter
    bool failed = false;   // read or pose failed: -1 with `reason`
    float error = -1.0f;   // verification's MatchTemplate result
    std::string reason;
    std::string line;  // the report line of this file; empty for a skipped one
};

struct FaceBatchResult {
    Status status;  // failed when the batch stopped before its end: no template, a failed write
    bool cancelled = false;
    std::vector<FaceBatchFile> files;  // the entries visited, in order
    std::array<int, 31> counters{};    // verification
    // The report lines: verification's file lines, the rule and the counters; training's lines of
    // the files that failed. A batch that fails before its end has no rule and no counters; one the
    // user stops has them for the files done.
    std::vector<std::string> lines;
};

struct FaceBatchHooks {
    // After each entry, skipped ones too: its index, the entry count and what came of it. The
    // window moves its file-list selection here and shows the line.
    std::function<void(std::size_t index, std::size_t count, const FaceBatchFile& file)> fileDone;
    // Training reports the caption after each entry (Face_Batch_Caption); verification reports its
    // share done with an empty text. Asked between entries whether to stop.
    Progress* progress = nullptr;
};

FaceBatchResult Run_Face_Batch(const std::vector<std::string>& paths, const FaceBatchParams& params,
                               const FaceBatchHooks& hooks = {});

// The counter of an error: floor(e x 10) for 0 <= e x 10 < 30, decided in floating point; else 30.
int Face_Error_Bin(float error);

// The training caption after entry `index` of `count`: the next selection's index x 100 / count
// and " % completed", with "100 % completed" after the last entry (the selection is back at 0).
std::string Face_Batch_Caption(std::size_t index, std::size_t count);

// True for names ending in ".tgl", in any case.
bool Is_Tgl_Name(const std::string& path);

// The files of `folder` the Inspector's file list shows (its kinds, not hidden, readable), in its
// order: by name without regard to case (ASCII letters folded), full paths. Empty when the folder
// cannot be read.
std::vector<std::string> Folder_File_List(const std::string& folder);

}  // namespace orvex
