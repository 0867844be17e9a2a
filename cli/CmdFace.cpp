// orvex face: the face verification of the tool bar and the Run menu on files. `features` runs the
// eye button on one TGL face (candidate regions, eyes, pose) and writes its features as a template
// file; `verify` and `train` are the Run menu's batches over a folder's TGL files, in the order the
// Inspector's file list shows them. verify prints the report lines, train each caption.

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/CandidateRegions.h"
#include "analysis/FaceBatch.h"
#include "analysis/NormalizeFacePose.h"
#include "analysis/WriteFeatures.h"
#include "cli/Commands.h"
#include "geometry/CFloat.h"
#include "mesh/TglReader.h"

namespace orvex::cli {

namespace {

struct FaceOptions {
    std::string file;
    std::string out;
    std::string folder;
    std::string templatePath = kFaceTemplateName;
    std::vector<std::string> leftEye;
    std::vector<std::string> rightEye;
};

// Both texture coordinates of an eye option, finite; otherwise a message on stderr.
bool Eye_Option(const char* command, const char* option, const std::vector<std::string>& texts, float& u,
                float& v) {
    if (texts.empty()) return true;
    std::optional<float> values[2];
    for (int k = 0; k < 2 && k < int(texts.size()); ++k)
        values[k] = Parse_C_Float(texts[std::size_t(k)], false);
    if (texts.size() == 2 && values[0] && values[1] && std::isfinite(*values[0]) &&
        std::isfinite(*values[1])) {
        u = *values[0];
        v = *values[1];
        return true;
    }
    std::fprintf(stderr, "orvex face %s: %s needs two finite numbers U V\n", command, option);
    return false;
}

bool Eyes_From(const char* command, const FaceOptions& options, FaceEyes& eyes) {
    return Eye_Option(command, "--left-eye", options.leftEye, eyes.leftU, eyes.leftV) &&
           Eye_Option(command, "--right-eye", options.rightEye, eyes.rightU, eyes.rightV);
}

void Add_Eye_Options(CLI::App* command, FaceOptions& options) {
    command->add_option("--left-eye", options.leftEye, "Texture coordinates U V of the left eye (0.47 0.73)")
        ->expected(2);
    command
        ->add_option("--right-eye", options.rightEye, "Texture coordinates U V of the right eye (0.43 0.46)")
        ->expected(2);
}

int Run_Features(const FaceOptions& options) {
    FaceEyes eyes;
    if (!Eyes_From("features", options, eyes)) return 2;
    UniOb mesh;
    const Status read = Read_TGL(mesh, options.file);
    if (!read) {
        std::fprintf(stderr, "orvex face features: %s\n", read.message.c_str());
        return 1;
    }
    if (!read.message.empty()) std::fprintf(stderr, "orvex face features: %s\n", read.message.c_str());
    FindCandidateRegions(mesh);
    if (const Status pose = Normalize_Face(mesh, eyes); !pose) {
        std::fprintf(stderr, "orvex face features: %s: %s\n", options.file.c_str(), pose.message.c_str());
        return 1;
    }
    if (const Status written = WriteFeatures(mesh, options.out); !written) {
        std::fprintf(stderr, "orvex face features: %s\n", written.message.c_str());
        return 1;
    }
    std::printf("%zu features written to %s\n", mesh.Feature_Vertices.size(), options.out.c_str());
    return 0;
}

// Prints each training caption as the batch reaches it.
class CaptionPrinter : public Progress {
public:
    void Report(double, const std::string& text) override {
        if (text.empty()) return;
        std::printf("%s\n", text.c_str());
        std::fflush(stdout);
    }
};

int Run_Batch(const FaceOptions& options, FaceBatchMode mode) {
    const char* command = mode == FaceBatchMode::Training ? "train" : "verify";
    FaceBatchParams params;
    params.mode = mode;
    params.templatePath = options.templatePath;
    if (!Eyes_From(command, options, params.eyes)) return 2;
    std::error_code error;
    if (!std::filesystem::is_directory(options.folder, error)) {
        std::fprintf(stderr, "orvex face %s: %s is not a folder\n", command, options.folder.c_str());
        return 1;
    }
    const std::vector<std::string> paths = Folder_File_List(options.folder);
    CaptionPrinter captions;
    FaceBatchHooks hooks;
    hooks.progress = &captions;
    if (mode == FaceBatchMode::Training) {
        hooks.fileDone = [](std::size_t, std::size_t, const FaceBatchFile& file) {
            if (file.failed) std::fprintf(stderr, "%s\n", file.line.c_str());
        };
    }
    const FaceBatchResult result = Run_Face_Batch(paths, params, hooks);
    if (mode == FaceBatchMode::Verification)
        for (const std::string& line : result.lines) std::printf("%s\n", line.c_str());
    if (!result.status) {
        std::fprintf(stderr, "orvex face %s: %s\n", command, result.status.message.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

void Add_Face_Command(CLI::App& app, RunState& state) {
    CLI::App* face = app.add_subcommand("face", "Face features, verification and training of TGL scans");
    face->require_subcommand(1);
    auto options = std::make_shared<FaceOptions>();

    CLI::App* features =
        face->add_subcommand("features", "Write the features of a TGL face as a template file");
    features->add_option("FILE", options->file, "TGL face scan")->required();
    features->add_option("OUT", options->out, "Template file to write")->required();
    Add_Eye_Options(features, *options);
    features->callback([options, &state] { state.exitCode = Run_Features(*options); });

    for (const FaceBatchMode mode : {FaceBatchMode::Verification, FaceBatchMode::Training}) {
        const bool training = mode == FaceBatchMode::Training;
        CLI::App* batch = face->add_subcommand(
            training ? "train" : "verify",
            training ? "Train the template on each TGL face of a folder, in file-list order"
                     : "Match each TGL face of a folder against the template and print the report");
        batch->add_option("FOLDER", options->folder, "Folder of TGL face scans")->required();
        batch->add_option("--template", options->templatePath, "Template file (reg.txt)");
        Add_Eye_Options(batch, *options);
        batch->callback([options, mode, &state] { state.exitCode = Run_Batch(*options, mode); });
    }
}

}  // namespace orvex::cli
