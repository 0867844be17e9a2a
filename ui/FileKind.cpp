#include "ui/FileKind.h"

namespace orvex {

namespace {

struct KindEntry {
    const char* upper;
    const char* lower;
    int kind;
};

// The file-kind numbers are those of the open dialog's dispatch.
constexpr KindEntry kKinds[] = {
    {".3DS", ".3ds", 1},  {".TGL", ".tgl", 2},  {".STL", ".stl", 3},  {".CT", ".ct", 4},
    {".LOP", ".lop", 5},  {".RAN", ".ran", 6},  {".XYZ", ".xyz", 10}, {".XYC", ".xyc", 11},
    {".SFM", ".sfm", 12}, {".PLY", ".ply", 13}, {".OBJ", ".obj", 14},
};

}  // namespace

bool Is_Sequence_File(const QString& name) {
    const int kind = File_Kind_From_Extension(name.toLower());
    return kind != 0 && kind != 13 && kind != 14;
}

int File_Kind_From_Extension(const QString& name) {
    const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < slash) return 0;
    const QString extension = name.mid(dot);
    for (const KindEntry& entry : kKinds) {
        if (extension == QLatin1String(entry.upper) || extension == QLatin1String(entry.lower)) {
            return entry.kind;
        }
    }
    return 0;
}

}  // namespace orvex
