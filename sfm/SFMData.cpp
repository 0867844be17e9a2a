#include "sfm/SFMData.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

#include "geometry/LinearAlgebra.h"
#include "geometry/NumberScanner.h"

namespace orvex {

namespace {

using Result = NumberScanner::Result;

// The smallest point record, "0 0 0 0 0 0 ", bounds how many points a file can hold.
constexpr std::uint64_t kSmallestPointRecord = 12;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

std::string Upper(std::string word) {
    for (char& c : word)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return word;
}

// Why a number could not be read; empty when it was.
std::string Number_Problem(const NumberScanner& scan, Result result, const std::string& what) {
    if (result == Result::Number) return {};
    if (result == Result::End) return "the file ends inside " + what;
    return "\"" + scan.BadText() + "\" is not " + (scan.NotFinite() ? "a finite number" : "a number") + " (" +
           what + ")";
}

class SfmParser {
public:
    SfmParser(NumberScanner& scan, SFMData& out) : scan_(scan), out_(out) {}

    // Why the reading stopped early (empty when it reached the end); refused when the file must be
    // refused as a whole.
    std::string problem;
    bool refused = false;
    std::int64_t declaredPoints = 0;
    std::uint64_t badLine = 0;
    std::uint64_t fileSize = 0;

    void Run() {
        std::string word;
        while (problem.empty() && scan_.NextWord(word, Sfm_Token_Limit)) {
            const std::string key = Upper(word);
            if (key == "#POINT")
                Points();
            else if (key == "#CAMERA")
                Camera();
            else if (key == "#LABEL")
                Label();
        }
        if (!problem.empty()) badLine = scan_.Line();
    }

private:
    // `what` names the record for a message; it is only called when something is wrong.
    template <class What>
    bool Float(float& value, const What& what) {
        const Result r = scan_.NextFloat(value);
        if (r != Result::Number) problem = Number_Problem(scan_, r, what());
        return r == Result::Number;
    }
    template <class What>
    bool Int(long long& value, const What& what) {
        const Result r = scan_.NextInt(value);
        if (r != Result::Number)
            problem = Number_Problem(scan_, r, what());
        else if (value < std::numeric_limits<std::int32_t>::min() ||
                 value > std::numeric_limits<std::int32_t>::max())
            problem = std::to_string(value) + " is too large for an integer (" + what() + ")";
        return problem.empty();
    }
    template <class What>
    bool Skip(const What& what) {
        std::string ignored;
        if (scan_.NextWord(ignored, 0)) return true;
        problem = "the file ends inside " + what();
        return false;
    }

    void Points() {
        long long n = 0;
        if (!Int(n, [] { return std::string("the #POINT count"); })) return;
        if (n < 0) {
            problem = "the #POINT count " + std::to_string(n) + " is negative";
            refused = true;
            return;
        }
        declaredPoints = n;
        // A later "#POINT" replaces the points of an earlier one.
        out_.points.clear();
        out_.pointCount = 0;
        // Never trust the count for the allocation: the file cannot hold more than this.
        const std::uint64_t room = fileSize / kSmallestPointRecord;
        out_.points.reserve(std::size_t(std::min<std::uint64_t>(std::uint64_t(n), room)) * 6);
        for (long long i = 0; i < n; ++i) {
            const auto what = [i, n] {
                return "point " + std::to_string(i + 1) + " of " + std::to_string(n);
            };
            float record[6];
            for (int k = 0; k < 3; ++k)
                if (!Float(record[k], what)) return;
            for (int k = 3; k < 6; ++k) {
                long long colour = 0;
                if (!Int(colour, what)) return;
                record[k] = float(colour) / 255.0f;
            }
            out_.points.insert(out_.points.end(), record, record + 6);
            ++out_.pointCount;
        }
    }

    void Camera() {
        const auto what = [this] { return "camera " + std::to_string(out_.cameraCount + 1); };
        std::string name;
        if (!scan_.NextWord(name, Sfm_Name_Limit)) {
            problem = "the file ends inside " + what();
            return;
        }
        float scale = 0.0f, k[9], e[12];
        if (!Skip(what) || !Float(scale, what) || !Skip(what)) return;
        for (float& v : k)
            if (!Float(v, what)) return;
        if (!Skip(what)) return;
        for (float& v : e)
            if (!Float(v, what)) return;
        out_.names.push_back(name);
        out_.scales.push_back(scale);
        out_.intrinsics.insert(out_.intrinsics.end(), k, k + 9);
        out_.extrinsics.insert(out_.extrinsics.end(), e, e + 12);
        ++out_.cameraCount;
    }

    void Label() {
        long long n = 0;
        if (Int(n, [] { return std::string("the #LABEL value"); })) out_.labelled = n != 0 ? 1 : 0;
    }

    NumberScanner& scan_;
    SFMData& out_;
};

}  // namespace

void SFMData::Release() {
    points.clear();
    intrinsics.clear();
    extrinsics.clear();
    scales.clear();
    poses.clear();
    poseValid.clear();
    names.clear();
    pointCount = 0;
    cameraCount = 0;
}

void SFMData::Allocate(int n, int m) {
    Release();
    if (n < 0 || m < 0) return;
    Matrix4 identity;
    Mat4_Identity(identity);
    points.assign(std::size_t(n) * 6, 0.0f);
    intrinsics.assign(std::size_t(m) * 9, 0.0f);
    extrinsics.assign(std::size_t(m) * 12, 0.0f);
    scales.assign(std::size_t(m), 0.0f);
    poses.assign(std::size_t(m), identity);
    poseValid.assign(std::size_t(m), 1);
    names.assign(std::size_t(m), std::string());
    pointCount = n;
    cameraCount = m;
}

bool SFMData::Update_Pose(int c) {
    Matrix4 m;
    Mat4_Identity(m);
    std::copy(E(c), E(c) + 12, m.begin());
    Matrix4 inverse;
    const bool ok = Mat_Inverse(m.data(), inverse.data(), 4);
    if (ok)
        poses[std::size_t(c)] = inverse;
    else
        Mat4_Identity(poses[std::size_t(c)]);
    poseValid[std::size_t(c)] = ok ? 1 : 0;
    return ok;
}

Status SFMData::Read(const std::string& path, SfmReadReport* report) {
    SfmReadReport local;
    SfmReadReport& rep = report ? *report : local;
    rep = {};
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) return Status::Error(path + ": cannot open: " + std::strerror(errno));
    struct stat info;
    const std::uint64_t size = fstat(fileno(file.get()), &info) == 0 && S_ISREG(info.st_mode)
                                   ? std::uint64_t(info.st_size)
                                   : std::numeric_limits<std::uint32_t>::max();

    SFMData read;
    NumberScanner scan(file.get());
    SfmParser parser(scan, read);
    parser.fileSize = size;
    parser.Run();
    rep.declaredPoints = parser.declaredPoints;
    rep.badLine = parser.badLine;

    std::string stop;
    if (!parser.problem.empty())
        stop = path + ": line " + std::to_string(parser.badLine) + ": " + parser.problem;
    else if (scan.ReadFailed())
        stop = path + ": the file could not be read to its end";
    if (parser.refused) return Status::Error(stop + "; nothing read");
    if (read.Empty()) {
        if (stop.empty()) stop = path + ": no point and no camera in the file";
        return Status::Error(stop + "; nothing read");
    }

    Matrix4 identity;
    Mat4_Identity(identity);
    read.poses.assign(std::size_t(read.cameraCount), identity);
    read.poseValid.assign(std::size_t(read.cameraCount), 1);
    std::string singular;
    for (int c = 0; c < read.cameraCount; ++c) {
        if (read.Update_Pose(c)) continue;
        rep.singular.push_back(c);
        singular += (singular.empty() ? "" : ", ") + std::to_string(c + 1) + " \"" +
                    read.names[std::size_t(c)] + "\"";
    }
    *this = std::move(read);

    std::string message;
    if (!stop.empty())
        message = stop + "; reading stopped there with " + std::to_string(pointCount) + " points and " +
                  std::to_string(cameraCount) + " cameras";
    if (!singular.empty()) {
        if (!message.empty()) message += "; ";
        message += path + ": the extrinsics of camera " + singular + " have no inverse; not drawn";
    }
    return message.empty() ? Status::Ok() : Status::Error(message);
}

Vec3 Camera_Centre(const SFMData& data, int c) {
    const Matrix4& pose = data.poses[std::size_t(c)];
    return Vec3{pose[3], pose[7], pose[11]};
}

void Camera_GL_Matrix(const SFMData& data, int c, Matrix4& out) {
    Mat4_Transpose(data.poses[std::size_t(c)], out);
}

bool Camera_Drawable(const SFMData& data, int c) {
    return c >= 0 && c < data.cameraCount && data.poseValid[std::size_t(c)] != 0;
}

bool Camera_Has_Pyramid(const SFMData& data, int c) {
    if (!Camera_Drawable(data, c)) return false;
    const float* k = data.K(c);
    if (k[0] == 0.0f || k[4] == 0.0f) return false;
    return std::isfinite(k[2] / k[0]) && std::isfinite(k[5] / k[4]) &&
           std::isfinite(data.scales[std::size_t(c)]);
}

std::array<Vec3, 4> Pyramid_Corners(const SFMData& data, int c) {
    const float* k = data.K(c);
    const float a = k[2] / k[0];
    const float b = k[5] / k[4];
    return {Vec3{a, b, 1.0f}, Vec3{a, -b, 1.0f}, Vec3{-a, b, 1.0f}, Vec3{-a, -b, 1.0f}};
}

std::array<Vec3, 4> Pyramid_World_Corners(const SFMData& data, int c) {
    std::array<Vec3, 4> corners = Pyramid_Corners(data, c);
    const float s = data.scales[std::size_t(c)];
    for (Vec3& p : corners) {
        p = Vec3{p.x * s, p.y * s, p.z * s};
        Mat4_TransformPoint(data.poses[std::size_t(c)], p);
    }
    return corners;
}

bool Sfm_Bounds(const SFMData& data, Vec3& min, Vec3& max) {
    bool any = false;
    auto widen = [&](float x, float y, float z) {
        if (!any) {
            min = max = Vec3{x, y, z};
            any = true;
            return;
        }
        min = Vec3{std::min(min.x, x), std::min(min.y, y), std::min(min.z, z)};
        max = Vec3{std::max(max.x, x), std::max(max.y, y), std::max(max.z, z)};
    };
    for (int i = 0; i < data.pointCount; ++i) widen(data.Point(i)[0], data.Point(i)[1], data.Point(i)[2]);
    for (int c = 0; c < data.cameraCount; ++c) {
        if (!Camera_Drawable(data, c)) continue;
        const Vec3 centre = Camera_Centre(data, c);
        widen(centre.x, centre.y, centre.z);
    }
    return any;
}

}  // namespace orvex
