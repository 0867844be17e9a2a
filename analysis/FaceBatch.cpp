#include "analysis/FaceBatch.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "analysis/CandidateRegions.h"
#include "analysis/MatchTemplate.h"
#include "analysis/ReadTemplate.h"
#include "analysis/TrainTemplate.h"
#include "analysis/WriteTemplate.h"
#include "geometry/GeneralNumber.h"
#include "mesh/TglReader.h"

namespace orvex {

namespace {

char Fold(char c) {
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

// The kinds the Inspector's file list shows (its mask and its extra mask).
constexpr const char* kListedExtensions[] = {".tgl", ".stl", ".ran", ".xyz", ".xyc", ".sfm", ".ply", ".obj"};

bool Listed_Name(const std::string& name) {
    if (name.empty() || name[0] == '.') return false;  // hidden, as the list leaves them out
    for (const char* extension : kListedExtensions) {
        const std::size_t n = std::strlen(extension);
        if (name.size() <= n) continue;
        bool same = true;
        for (std::size_t k = 0; k < n && same; ++k) same = Fold(name[name.size() - n + k]) == extension[k];
        if (same) return true;
    }
    return false;
}

bool Folded_Less(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t k = 0; k < n; ++k) {
        const unsigned char x = (unsigned char)Fold(a[k]), y = (unsigned char)Fold(b[k]);
        if (x != y) return x < y;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

// Reads, gives the template and finds the pose; false with the reason when the file cannot go on.
bool Prepare_Face(UniOb& mesh, const std::string& path, const std::vector<Record10>* templ,
                  const std::string& templatePath, const FaceEyes& eyes, std::string& reason) {
    const Status read = Read_TGL(mesh, path);
    if (!read) {
        reason = read.message;
        return false;
    }
    if (templ) {
        mesh.AllocTemplates(unsigned(templ->size()));
        mesh.Template_Records = *templ;
    } else if (const Status loaded = ReadTemplate(mesh, templatePath); !loaded) {
        reason = loaded.message;
        return false;
    }
    FindCandidateRegions(mesh);
    const Status pose = Normalize_Face(mesh, eyes);
    if (!pose) {
        reason = pose.message;
        return false;
    }
    return true;
}

}  // namespace

int Face_Error_Bin(float error) {
    const double scaled = double(error) * 10.0;
    if (scaled >= 0.0 && scaled < 30.0) return int(std::floor(scaled));
    return 30;
}

std::string Face_Batch_Caption(std::size_t index, std::size_t count) {
    if (count == 0) return "0 % completed";
    const std::size_t done = index + 1 >= count ? 100 : (index + 1) * 100 / count;
    return std::to_string(done) + " % completed";
}

bool Is_Tgl_Name(const std::string& path) {
    if (path.size() < 4) return false;
    const std::string tail = path.substr(path.size() - 4);
    return tail[0] == '.' && Fold(tail[1]) == 't' && Fold(tail[2]) == 'g' && Fold(tail[3]) == 'l';
}

std::vector<std::string> Folder_File_List(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    const std::filesystem::path base = std::filesystem::absolute(folder, error).lexically_normal();
    if (error) return {};
    for (std::filesystem::directory_iterator it(base, error), end; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        if (!it->is_regular_file(ignored) || !Listed_Name(it->path().filename().string())) continue;
        if (::access(it->path().c_str(), R_OK) != 0) continue;
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end(), Folded_Less);
    std::vector<std::string> paths;
    paths.reserve(names.size());
    for (const std::string& name : names) paths.push_back((base / name).string());
    return paths;
}

FaceBatchResult Run_Face_Batch(const std::vector<std::string>& paths, const FaceBatchParams& params,
                               const FaceBatchHooks& hooks) {
    FaceBatchResult result;
    const bool training = params.mode == FaceBatchMode::Training;

    // The template must be there before any file is touched.
    UniOb probe;
    if (const Status loaded = ReadTemplate(probe, params.templatePath); !loaded) {
        result.status = Status::Error("no template to work with: " + loaded.message);
        return result;
    }
    if (probe.Template_Records.empty()) {
        result.status = Status::Error(params.templatePath + ": the template holds no records");
        return result;
    }
    // Verification never changes the template: read once. Training reads what the last file wrote.
    const std::vector<Record10>* shared = training ? nullptr : &probe.Template_Records;

    const std::size_t count = paths.size();
    for (std::size_t index = 0; index < count; ++index) {
        if (Cancel_Requested(hooks.progress)) {
            result.cancelled = true;
            break;
        }
        FaceBatchFile file;
        file.path = paths[index];
        if (!Is_Tgl_Name(file.path)) {
            file.skipped = true;
        } else {
            UniOb mesh;
            std::string reason;
            if (!Prepare_Face(mesh, file.path, shared, params.templatePath, params.eyes, reason)) {
                file.failed = true;
                file.reason = reason;
                file.line = file.path + "\t-1\t" + reason;
            } else if (training) {
                TrainTemplate(mesh);
                if (const Status written = WriteTemplate(mesh, params.templatePath); !written) {
                    file.failed = true;
                    file.reason = written.message;
                    file.line = file.path + "\t-1\t" + written.message;
                    result.status =
                        Status::Error("training stopped at " + file.path + ": " + written.message);
                }
            } else {
                file.error = MatchTemplate(mesh);
                file.line = file.path + "\t" + General_Number(double(file.error), 15, 0, -3);
            }
            if (!training) ++result.counters[std::size_t(file.failed ? 30 : Face_Error_Bin(file.error))];
            if (!file.line.empty() && (!training || file.failed)) result.lines.push_back(file.line);
        }
        result.files.push_back(file);
        if (hooks.fileDone) hooks.fileDone(index, count, result.files.back());
        Report_Progress(hooks.progress, double(index + 1) / double(count),
                        training ? Face_Batch_Caption(index, count) : std::string());
        if (!result.status) return result;
    }
    if (!training) {
        result.lines.push_back(kFaceReportRule);
        for (const int counter : result.counters) result.lines.push_back(std::to_string(counter));
    }
    return result;
}

}  // namespace orvex
