// The point files RAN (count line, then "x y z" lines), XYZ ("x y z" lines) and XYC ("x y z r g b"
// lines with colour bytes), and the binary STL of the hull faces.
// Readers never trust the RAN count: they read what is there, stop at the end of the data or at
// the first text that is not a number, keep the points read completely and say what stopped them.
// Numbers are written with six decimals and read with '.' as the decimal point in every locale.

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

#include "geometry/AtomicFile.h"
#include "geometry/Color.h"
#include "mesh/StlFormat.h"
#include "geometry/NumberScanner.h"
#include "pointset/PointList.h"

namespace orvex {

namespace {

using Result = NumberScanner::Result;

class InputFile {
public:
    explicit InputFile(const std::string& path) : file_(std::fopen(path.c_str(), "r")) {}
    ~InputFile() {
        if (file_) std::fclose(file_);
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    std::FILE* get() const { return file_; }

private:
    std::FILE* file_;
};

std::string Count_Text(std::uint64_t n) {
    return std::to_string(n) + (n == 1 ? " point" : " points");
}

// Why a reading stopped before a whole record, for the status message.
std::string Stop_Reason(const NumberScanner& scan, Result result, bool insideRecord) {
    if (scan.ReadFailed()) return "the file could not be read to its end";
    if (result == Result::NotANumber)
        return "line " + std::to_string(scan.Line()) + ": '" + scan.BadText() +
               (scan.NotFinite() ? "' is not a finite number" : "' is not a number");
    return insideRecord ? "the last point is incomplete" : "the file ends early";
}

// Reads one record of `floats` floats and `ints` colour bytes: 0 when the file ended cleanly before
// it, 1 when the record is complete, -1 when it stopped inside (or at a bad token), with the result
// that stopped it.
int Read_Record(NumberScanner& scan, float* values, int floats, int ints, Result& stop) {
    for (int k = 0; k < floats + ints; ++k) {
        if (k < floats) {
            stop = scan.NextFloat(values[k]);
        } else {
            long long byte = 0;
            stop = scan.NextInt(byte);
            // Colour components are bytes; anything outside is taken as the nearest end.
            if (stop == Result::Number) values[k] = float(byte < 0 ? 0 : (byte > 255 ? 255 : byte)) / 255.0f;
        }
        if (stop != Result::Number) return (k == 0 && stop == Result::End && !scan.ReadFailed()) ? 0 : -1;
    }
    return 1;
}

struct ReadOutcome {
    std::uint64_t read = 0;
    bool clean = true;  // ended at the end of the file, between records
    std::string reason;
};

// Reads records into the set until the file ends or `limit` points are made.
ReadOutcome Read_Points(POINT_LIST& set, NumberScanner& scan, int floats, int ints, std::uint64_t limit) {
    ReadOutcome outcome;
    float values[6];
    const unsigned width = unsigned(floats + ints);
    while (outcome.read < limit) {
        Result stop = Result::Number;
        const int got = Read_Record(scan, values, floats, ints, stop);
        if (got == 0) break;
        if (got < 0) {
            outcome.clean = false;
            outcome.reason = Stop_Reason(scan, stop, stop == Result::End);
            break;
        }
        VEC_LIST* node = set.NewPoint(width);
        std::memcpy(node->values, values, width * sizeof(float));
        set.InsertFront(node);
        ++outcome.read;
    }
    return outcome;
}

Status Cannot_Open(const std::string& path) {
    return Status::Error(path + ": cannot open: " + std::strerror(errno));
}

void Finish_Reading(POINT_LIST& set) {
    Color_To_RGB(Random_Color(), set.colour);
    set.UpdateBounds();
}

// ---- Writing ----------------------------------------------------------------------------------

// Stages text in blocks so that a line costs no call into the file.
class TextOut {
public:
    explicit TextOut(AtomicFile& file) : file_(file) {}
    ~TextOut() { Flush(); }
    TextOut(const TextOut&) = delete;
    TextOut& operator=(const TextOut&) = delete;

    // "%f": six decimals, '.' whatever the locale.
    void Fixed(float v) {
        Make_Room();
        at_ = std::to_chars(at_, end(), double(v), std::chars_format::fixed, 6).ptr;
    }
    void Integer(long long v) {
        Make_Room();
        at_ = std::to_chars(at_, end(), v).ptr;
    }
    void Char(char c) {
        Make_Room();
        *at_++ = c;
    }
    void Flush() {
        file_.Write(block_, std::size_t(at_ - block_));
        at_ = block_;
    }

private:
    static constexpr std::size_t kBlock = 1 << 16;
    static constexpr std::size_t kLongestNumber = 64;  // a float with six decimals fits in 48
    char* end() { return block_ + kBlock; }
    void Make_Room() {
        if (std::size_t(end() - at_) < kLongestNumber) Flush();
    }

    AtomicFile& file_;
    char block_[kBlock];
    char* at_ = block_;
};

Status Nothing_Written(const std::string& target, const char* why) {
    return Status::Error(target + ": nothing written, " + why);
}

// Every point as "x y z" (and " r g b" when `colours`), in list order.
template <class Header>
Status Write_Points(const POINT_LIST& set, const std::string& target, bool colours, Header header) {
    AtomicFile file;
    if (Status opened = file.Open(target); !opened) return opened;
    {
        TextOut out(file);
        header(out);
        for (const VEC_LIST* p = set.points.next; p; p = p->next) {
            for (int k = 0; k < 3; ++k) {
                if (k) out.Char(' ');
                out.Fixed(p->values[k]);
            }
            if (colours) {
                // Truncated toward zero: c / 255 times 255 comes back as c for every byte.
                for (int k = 3; k < 6; ++k) {
                    out.Char(' ');
                    out.Integer(static_cast<long long>(double(p->values[k]) * 255.0));
                }
            }
            out.Char('\n');
        }
    }
    return file.Commit();
}

}  // namespace

// ---- Readers ----------------------------------------------------------------------------------

Status POINT_LIST::ReadRAN(const std::string& path) {
    Clear();
    InputFile input(path);
    if (!input.get()) {
        const Status status = Cannot_Open(path);
        Finish_Reading(*this);
        return status;
    }
    NumberScanner scan(input.get());
    long long announced = 0;
    const Result first = scan.NextInt(announced);
    Status status;
    if (first == Result::End) {
        status = Status::Error(path + ": no point count, the file is empty");
    } else if (first == Result::NotANumber) {
        status = Status::Error(path + ": line " + std::to_string(scan.Line()) + ": '" + scan.BadText() +
                               "' is not a point count");
    } else if (announced < 0 || announced > std::numeric_limits<std::uint32_t>::max()) {
        status = Status::Error(path + ": the point count " + std::to_string(announced) + " is impossible");
    } else {
        const ReadOutcome outcome = Read_Points(*this, scan, 3, 0, std::uint64_t(announced));
        if (outcome.read < std::uint64_t(announced)) {
            const std::string reason = outcome.clean ? Stop_Reason(scan, Result::End, false) : outcome.reason;
            status = Status::Error(path + ": read " + std::to_string(outcome.read) + " of " +
                                   Count_Text(std::uint64_t(announced)) + ": " + reason);
        }
    }
    Finish_Reading(*this);
    return status;
}

namespace {
Status Read_Until_End(POINT_LIST& set, const std::string& path, int floats, int ints) {
    InputFile input(path);
    if (!input.get()) return Cannot_Open(path);
    NumberScanner scan(input.get());
    const ReadOutcome outcome =
        Read_Points(set, scan, floats, ints, std::numeric_limits<std::uint32_t>::max());
    if (outcome.clean) return Status::Ok();
    return Status::Error(path + ": " + outcome.reason + "; read " + Count_Text(outcome.read));
}
}  // namespace

Status POINT_LIST::ReadXYZ(const std::string& path) {
    Clear();
    const Status status = Read_Until_End(*this, path, 3, 0);
    Finish_Reading(*this);
    return status;
}

Status POINT_LIST::ReadXYC(const std::string& path) {
    Clear();
    coloured = true;
    const Status status = Read_Until_End(*this, path, 3, 3);
    Finish_Reading(*this);
    return status;
}

// ---- Writers ----------------------------------------------------------------------------------

Status POINT_LIST::WriteRAN(const std::string& name) const {
    return WriteRANFile(name + ".ran");
}

Status POINT_LIST::WriteXYZ(const std::string& name) const {
    return WriteXYZFile(name + ".xyz");
}

Status POINT_LIST::WriteXYC(const std::string& name) const {
    return WriteXYCFile(name + ".xyc");
}

Status POINT_LIST::WriteRANFile(const std::string& target) const {
    const unsigned n = Count(0);
    if (n == 0) return Nothing_Written(target, "the point set is empty");
    return Write_Points(*this, target, false, [n](TextOut& out) {
        out.Integer(n);
        out.Char('\n');
    });
}

Status POINT_LIST::WriteXYZFile(const std::string& target) const {
    if (!points.next) return Nothing_Written(target, "the point set is empty");
    return Write_Points(*this, target, false, [](TextOut&) {});
}

Status POINT_LIST::WriteXYCFile(const std::string& target) const {
    if (!points.next) return Nothing_Written(target, "the point set is empty");
    if (!coloured) return Nothing_Written(target, "the points carry no colours");
    return Write_Points(*this, target, true, [](TextOut&) {});
}

Status POINT_LIST::WriteHullSTL(const std::string& name) const {
    const std::string target = name + ".stl";
    const std::uint32_t faces = Count(1);
    if (faces == 0) return Nothing_Written(target, "the point set has no hull");
    AtomicFile file;
    if (Status opened = file.Open(target); !opened) return opened;
    unsigned char preamble[kStlPreambleBytes] = {};
    std::memcpy(preamble, kStlHeaderText, sizeof kStlHeaderText);  // with its terminating zero
    std::memcpy(preamble + kStlHeaderBytes, &faces, sizeof faces);
    file.Write(preamble, sizeof preamble);
    for (const CON_FACE_LIST_VEC* f = hull.next; f; f = f->next) {
        StlFacet facet;
        for (int c = 0; c < 3; ++c)
            facet.corner[c] = Vec3{f->v[c]->values[0], f->v[c]->values[1], f->v[c]->values[2]};
        Facet_Normal(facet.normal, facet.corner[0], facet.corner[1], facet.corner[2]);
        unsigned char record[kStlRecordBytes] = {};  // the attribute word stays 0
        std::memcpy(record, &facet, sizeof facet);
        file.Write(record, sizeof record);
    }
    return file.Commit();
}

}  // namespace orvex
