#include "analysis/SerialSmooth.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "analysis/FairSmooth.h"
#include "mesh/MeshWriters.h"
#include "mesh/StlReader.h"
#include "mesh/UniOb.h"

namespace orvex {

namespace {

bool Ends_With(const std::string& text, const char* tail) {
    const std::string end(tail);
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool All_Finite(const UniOb& mesh) {
    for (const Vec3& p : mesh.Vertex_Pos)
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return false;
    for (const Vec3& n : mesh.Face_Normal)
        if (!std::isfinite(n.x) || !std::isfinite(n.y) || !std::isfinite(n.z)) return false;
    return std::isfinite(mesh.Volume);
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string File_Name(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    return name.empty() ? path : name;
}

}  // namespace

bool Is_Stl_Name(const std::string& path) {
    return Ends_With(path, ".stl") || Ends_With(path, ".STL");
}

SerialSmoothFile Serial_Smooth_File(const std::string& path, const SerialSmoothParams& params,
                                    Progress* progress) {
    SerialSmoothFile result;
    result.path = path;
    if (!Is_Stl_Name(path)) {
        result.outcome = SerialSmoothOutcome::NotStl;
        result.message = "not an STL file";
        return result;
    }

    UniOb mesh;
    StlReadReport report;
    StlReadOptions options;
    options.progress = progress;
    options.report = &report;
    const Status read = Read_STL(mesh, path, options);
    if (report.fault == StlFault::Cancelled || Cancel_Requested(progress)) {
        result.outcome = SerialSmoothOutcome::Stopped;
        result.message = "stopped before it was written";
        return result;
    }
    // A damaged file still gives the facets that could be read; writing those back would lose the
    // rest, so any problem keeps the file.
    if (!read || report.fault != StlFault::None || mesh.IsEmpty()) {
        result.outcome = SerialSmoothOutcome::ReadFailed;
        result.message = read ? path + ": no facets" : read.message;
        return result;
    }
    result.faces = mesh.Face_Count;
    result.vertices = mesh.Vertex_Count;
    result.volumeInitial = mesh.Volume_Initial;
    result.volume = mesh.Volume;

    for (int pass = 0; pass < params.passes; ++pass) {
        if (Cancel_Requested(progress)) {
            result.outcome = SerialSmoothOutcome::Stopped;
            result.message = "stopped before it was written";
            return result;
        }
        // FairSmooth leaves the face and weighted vertex normals current.
        result.steps.push_back(FairSmooth(mesh, params.factor, true, params.method));
        Report_Progress(progress, 1.0, "");  // lets a window breathe between passes
    }
    result.volume = mesh.Volume;
    if (!All_Finite(mesh)) {
        result.outcome = SerialSmoothOutcome::NotFinite;
        result.message = "the smoothed mesh holds numbers that are not finite";
        return result;
    }

    const std::string table = path + ".txt";
    std::error_code error;
    const bool tableExisted = std::filesystem::exists(table, error);
    if (Status s = Write_Face_Array(mesh, table); !s) {
        result.outcome = SerialSmoothOutcome::WriteFailed;
        result.message = s.message;
        return result;
    }
    if (Status s = Write_STL(&mesh, path); !s) {
        result.outcome = SerialSmoothOutcome::WriteFailed;
        result.message = s.message;
        // A table of a mesh that was never saved would mislead; an older one was replaced already.
        if (!tableExisted) std::filesystem::remove(table, error);
        return result;
    }
    result.outcome = SerialSmoothOutcome::Smoothed;
    return result;
}

std::string Serial_Smooth_Line(const SerialSmoothFile& file) {
    std::string line = file.path + ": ";
    switch (file.outcome) {
        case SerialSmoothOutcome::Smoothed: {
            line += "smoothed, " + std::to_string(file.steps.size()) + " passes (restoration steps";
            if (file.steps.empty()) line += " none";
            for (int steps : file.steps) {
                line += ' ';
                line += std::to_string(steps);
            }
            line += "), Vol. " + Number(file.volumeInitial) + " -> " + Number(file.volume);
            return line;
        }
        case SerialSmoothOutcome::NotStl:
            return line + "skipped, not an STL file";
        case SerialSmoothOutcome::ReadFailed:
            return line + "skipped, " + file.message + "; the file is as it was";
        case SerialSmoothOutcome::NotFinite:
        case SerialSmoothOutcome::WriteFailed:
            return line + "failed, " + file.message + "; the file is as it was";
        case SerialSmoothOutcome::Stopped:
            return line + "stopped; the file is as it was";
    }
    return line;
}

std::string Serial_Smooth_Summary(const std::vector<SerialSmoothFile>& files) {
    std::size_t smoothed = 0;
    std::string skipped, failed, stopped;
    for (const SerialSmoothFile& file : files) {
        if (file.Changed()) {
            ++smoothed;
        } else if (file.Skipped()) {
            skipped += (skipped.empty() ? "" : ", ") + File_Name(file.path);
        } else if (file.outcome == SerialSmoothOutcome::Stopped) {
            stopped = File_Name(file.path);
        } else {
            failed += (failed.empty() ? "" : ", ") + File_Name(file.path);
        }
    }
    std::string text = std::to_string(smoothed) + " of " + std::to_string(files.size()) + " files smoothed";
    if (!skipped.empty()) text += "; skipped: " + skipped;
    if (!failed.empty()) text += "; failed: " + failed;
    if (!stopped.empty()) text += "; stopped at " + stopped;
    return text;
}

}  // namespace orvex
