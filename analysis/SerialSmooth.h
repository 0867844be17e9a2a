#pragma once
// The smoothing batch, one file at a time: read the STL file, run the smoothing passes with volume
// restoration, write the mesh as binary STL over the file and its face table to path + ".txt".
// The window's "Serial Smooth STL" and `orvex smooth --serial` both run it.
//
// The batch overwrites the user's files, so it never damages one: a name that does not end in
// ".stl" or ".STL", a read that reports any problem, a smoothed mesh that is not finite, a stop
// request and a failed write all leave the file byte for byte as it was. The table is written
// before the mesh: a folder that refuses new files fails there, before the STL is touched.

#include <string>
#include <vector>

#include "geometry/Progress.h"

namespace orvex {

struct SerialSmoothParams {
    float factor = 0.5f;  // FairSmooth's self weight for the "constant" method
    int passes = 3;       // passes per file; none still rewrites the file as read
    int method = 0;       // SmoothMethod; other values smooth as "constant"
};

enum class SerialSmoothOutcome {
    Smoothed,
    NotStl,       // skipped by its name
    ReadFailed,   // skipped: the read reported a problem
    NotFinite,    // failed: the smoothed mesh holds an infinite or undefined number
    WriteFailed,  // failed: the table or the mesh could not be written
    Stopped,      // the progress asked to stop before the file was written
};

struct SerialSmoothFile {
    std::string path;
    SerialSmoothOutcome outcome = SerialSmoothOutcome::NotStl;
    std::string message;  // why the file was skipped or failed
    unsigned faces = 0;
    unsigned vertices = 0;
    double volumeInitial = 0.0;  // as read
    double volume = 0.0;         // after the passes
    std::vector<int> steps;      // restoration steps of each pass

    bool Changed() const { return outcome == SerialSmoothOutcome::Smoothed; }
    bool Skipped() const {
        return outcome == SerialSmoothOutcome::NotStl || outcome == SerialSmoothOutcome::ReadFailed;
    }
};

// ".stl" or ".STL" at the end of the name (other spellings are left alone, as the file list's
// opening by extension does).
bool Is_Stl_Name(const std::string& path);

// The whole per-file work. `progress` keeps a caller alive during large reads and is asked
// whether to stop between passes.
SerialSmoothFile Serial_Smooth_File(const std::string& path, const SerialSmoothParams& params,
                                    Progress* progress = nullptr);

// One report line per file: "a.stl: smoothed, 3 passes (restoration steps 2 2 1), Vol. 8 -> 8",
// "b.xyz: skipped, not an STL file", "c.stl: failed, ...; the file is as it was".
std::string Serial_Smooth_Line(const SerialSmoothFile& file);

// The closing line of a batch: "2 of 4 files smoothed; skipped: b.xyz, c.stl; failed: d.stl", and
// "; stopped at e.stl" when the user stopped it there.
std::string Serial_Smooth_Summary(const std::vector<SerialSmoothFile>& files);

}  // namespace orvex
