// The .sfm reader on any text, read into data that already hold a point and a camera, against a
// second reading whose numbers come from strtof and strtoll.
// Promises: a file refused (negative "#POINT" count) or yielding neither point nor camera leaves
// the old data untouched and is not ok; otherwise the data hold exactly the complete point records
// of the last "#POINT" block and the complete cameras read before the first number that is not one
// (or the end inside a record), bit for bit, names cut to 31 characters, keywords matched in any
// case within their first 255 characters; the status is ok exactly when the text ended cleanly and
// every pose exists; the line where reading stopped is the reference's; every array agrees with its
// count; nothing is reserved beyond what the file can hold; every pose is finite.

#include <cerrno>
#include <climits>
#include <string_view>

#include "fuzz/FuzzSupport.h"
#include "sfm/SFMData.h"

namespace orvex::fuzz {

namespace {

struct Reference {
    std::vector<float> points;  // 6 a record
    std::vector<std::string> names;
    std::vector<float> cameras;  // scale, k0..k8, e0..e11: 22 a camera
    int labelled = 0;
    bool refused = false;
    bool stopped = false;
    unsigned stopLine = 0;
};

class Scan {
public:
    explicit Scan(std::string_view text) : words_(text) {}

    bool Word(std::string& word, std::size_t keep) {
        const std::string_view w = words_.Next();
        if (w.empty()) return false;
        line_ = words_.Line();
        word.assign(w.substr(0, keep));
        return true;
    }
    bool Float(float& value) {
        std::string token;
        if (!Word(token, std::string::npos)) return false;
        if (token.find('\0') != std::string::npos) return false;
        char* end = nullptr;
        value = std::strtof(token.c_str(), &end);
        return end == token.c_str() + token.size() && std::isfinite(value);
    }
    bool Integer(long long& value) {
        std::string token;
        if (!Word(token, std::string::npos)) return false;
        if (token.find('\0') != std::string::npos) return false;
        char* end = nullptr;
        errno = 0;
        value = std::strtoll(token.c_str(), &end, 10);
        return end == token.c_str() + token.size() && errno != ERANGE && value >= INT_MIN && value <= INT_MAX;
    }
    // The line of the last word looked at.
    unsigned Line() const { return line_; }

private:
    Word_Scanner words_;
    unsigned line_ = 1;
};

std::string Upper(std::string word) {
    for (char& c : word)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return word;
}

Reference Read_Reference(std::string_view text) {
    Reference ref;
    Scan scan(text);
    std::string word;
    auto stop = [&] {
        ref.stopped = true;
        ref.stopLine = scan.Line();
    };
    while (!ref.stopped && scan.Word(word, 255)) {
        const std::string key = Upper(word);
        if (key == "#POINT") {
            long long n = 0;
            if (!scan.Integer(n)) {
                stop();
                break;
            }
            if (n < 0) {
                ref.refused = true;
                return ref;
            }
            ref.points.clear();
            for (long long i = 0; i < n && !ref.stopped; ++i) {
                float record[6];
                bool good = true;
                for (int k = 0; k < 3 && good; ++k) good = scan.Float(record[k]);
                for (int k = 3; k < 6 && good; ++k) {
                    long long colour = 0;
                    good = scan.Integer(colour);
                    record[k] = float(colour) / 255.0f;
                }
                if (!good)
                    stop();
                else
                    ref.points.insert(ref.points.end(), record, record + 6);
            }
        } else if (key == "#CAMERA") {
            std::string name, skipped;
            float values[22];
            bool good = scan.Word(name, 31) && scan.Word(skipped, 0) && scan.Float(values[0]) &&
                        scan.Word(skipped, 0);
            for (int k = 1; k < 10 && good; ++k) good = scan.Float(values[k]);
            good = good && scan.Word(skipped, 0);
            for (int k = 10; k < 22 && good; ++k) good = scan.Float(values[k]);
            if (!good) {
                stop();
                break;
            }
            ref.names.push_back(name);
            ref.cameras.insert(ref.cameras.end(), values, values + 22);
        } else if (key == "#LABEL") {
            long long n = 0;
            if (!scan.Integer(n))
                stop();
            else
                ref.labelled = n != 0;
        }
    }
    return ref;
}

}  // namespace

void Make_Seeds(const std::string& dir) {
    const std::string camera =
        "#CAMERA view01.jpg scale 0.53 K 684.58 0 320 0 684.58 240 0 0 1 E 0.99 -0.12 0.037 0.16 -0.10 -0.95 "
        "-0.30 -1.02 0.072 0.30 -0.95 0.83\n";
    Write_Seed(dir, "small",
               "#POINT 2\n-0.47 -0.35 -2.70 100 179 115\n0.1 0.2 0.3 0 0 255\n" + camera + "#LABEL 1\n");
    Write_Seed(dir, "lower-case",
               "#point 1\n1 2 3 4 5 6\n#camera c s 1 k 1 0 0 0 1 0 0 0 1 e 1 0 0 5 0 1 0 6 0 0 1 7\n");
    Write_Seed(dir, "singular", "#CAMERA z s 1 K 0 0 0 0 0 0 0 0 1 E 0 0 0 0 0 0 0 0 0 0 0 0\n");
    Write_Seed(dir, "truncated", "#POINT 3\n0 0 0 1 1 1\n1 1 1 2 2\n");
    Write_Seed(dir, "hostile-count", "#POINT 2000000000\n1 2 3 4 5 6\n" + camera);
    Write_Seed(dir, "negative", "#POINT -1\n" + camera);
    Write_Seed(dir, "two-blocks", "#POINT 1 1 1 1 0 0 0 #POINT 2 2 2 2 0 0 0 3 3 3 9 9 9 #LABEL 0");
    Write_Seed(dir, "long-name",
               "#CAMERA " + std::string(300, 'n') + " s 1 K 1 0 0 0 1 0 0 0 1 E 1 0 0 0 0 1 0 0 0 0 1 0");
    Write_Seed(dir, "numbers", "#POINT 2\n0x1p3 1e-45 -0 +7 -8 99999999999\n1e39 inf nan 0 0 0\n");
    Write_Seed(dir, "empty", std::string());
}

}  // namespace orvex::fuzz

using namespace orvex;
using namespace orvex::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    static MemoryFile file;
    file.Set(data, size);

    SFMData sfm;
    sfm.Allocate(1, 1);
    sfm.points[0] = 42.0f;
    sfm.names[0] = "old";
    sfm.labelled = 1;

    SfmReadReport report;
    const Status status = sfm.Read(file.Path(), &report);
    const Reference ref = Read_Reference(text);
    const bool nothing = ref.refused || (ref.points.empty() && ref.names.empty());

    if (nothing) {
        FUZZ_CHECK(!status, "nothing read, yet ok");
        FUZZ_CHECK(sfm.pointCount == 1 && sfm.cameraCount == 1 && sfm.points[0] == 42.0f &&
                       sfm.names[0] == "old" && sfm.labelled == 1,
                   "nothing read, yet the old data changed: %d points, %d cameras", sfm.pointCount,
                   sfm.cameraCount);
        return 0;
    }
    FUZZ_CHECK(std::size_t(sfm.pointCount) * 6 == ref.points.size(), "%d points, the reference %zu",
               sfm.pointCount, ref.points.size() / 6);
    FUZZ_CHECK(std::size_t(sfm.cameraCount) == ref.names.size(), "%d cameras, the reference %zu",
               sfm.cameraCount, ref.names.size());
    FUZZ_CHECK(sfm.points.size() == ref.points.size(), "points array %zu", sfm.points.size());
    FUZZ_CHECK(sfm.points.capacity() <= 6 * (size / 12), "%zu floats reserved for %zu bytes",
               sfm.points.capacity(), size);
    for (std::size_t i = 0; i < ref.points.size(); ++i)
        FUZZ_CHECK(Same_Bits(sfm.points[i], ref.points[i]), "point value %zu: %g, the reference %g", i,
                   double(sfm.points[i]), double(ref.points[i]));
    const std::size_t m = ref.names.size();
    FUZZ_CHECK(sfm.intrinsics.size() == 9 * m && sfm.extrinsics.size() == 12 * m && sfm.scales.size() == m &&
                   sfm.poses.size() == m && sfm.poseValid.size() == m && sfm.names.size() == m,
               "camera arrays disagree with %zu cameras", m);
    bool allPoses = true;
    for (std::size_t c = 0; c < m; ++c) {
        const float* want = &ref.cameras[22 * c];
        FUZZ_CHECK(sfm.names[c] == ref.names[c], "camera %zu name \"%s\", the reference \"%s\"", c,
                   sfm.names[c].c_str(), ref.names[c].c_str());
        FUZZ_CHECK(sfm.names[c].size() <= Sfm_Name_Limit, "camera %zu name of %zu characters", c,
                   sfm.names[c].size());
        FUZZ_CHECK(Same_Bits(sfm.scales[c], want[0]), "camera %zu scale", c);
        for (int k = 0; k < 9; ++k)
            FUZZ_CHECK(Same_Bits(sfm.K(int(c))[k], want[1 + k]), "camera %zu k%d", c, k);
        for (int k = 0; k < 12; ++k)
            FUZZ_CHECK(Same_Bits(sfm.E(int(c))[k], want[10 + k]), "camera %zu e%d", c, k);
        for (float v : sfm.poses[c]) FUZZ_CHECK(std::isfinite(v), "camera %zu pose not finite", c);
        allPoses = allPoses && sfm.poseValid[c];
        if (Camera_Has_Pyramid(sfm, int(c)))
            for (const Vec3& p : Pyramid_Corners(sfm, int(c)))
                FUZZ_CHECK(std::isfinite(p.x) && std::isfinite(p.y), "camera %zu corner not finite", c);
    }
    FUZZ_CHECK(sfm.labelled == ref.labelled, "labelled %d, the reference %d", sfm.labelled, ref.labelled);
    FUZZ_CHECK(bool(status) == (!ref.stopped && allPoses), "status %d: %s", int(bool(status)),
               status.message.c_str());
    FUZZ_CHECK(report.badLine == (ref.stopped ? ref.stopLine : 0),
               "stopped at line %llu, the reference at %u", (unsigned long long)report.badLine,
               ref.stopped ? ref.stopLine : 0);
    if (ref.stopped) {
        const std::string line = "line " + std::to_string(ref.stopLine);
        FUZZ_CHECK(status.message.find(line) != std::string::npos, "the message does not name %s: %s",
                   line.c_str(), status.message.c_str());
    }
    return 0;
}
