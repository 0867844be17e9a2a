#include "app/StatusText.h"

#include "mesh/UniOb.h"
#include "ui/GeneralFormat.h"

namespace orvex {

QString Cost_Text(const char* prefix, int ms) {
    return QString::fromLatin1(prefix) + QString::number(ms) + QStringLiteral(" ms");
}

QString Mesh_Statistics_Text(const UniOb& mesh) {
    return QString::number(mesh.Face_Count) + QStringLiteral(" Facets. ") +
           QString::number(mesh.Vertex_Count) + QStringLiteral(" Points. ") + Float_To_Str(mesh.Area) +
           QStringLiteral(" Area. ") + Float_To_Str(mesh.Volume) + QStringLiteral(" Vol. ");
}

QString Model_Statistics_Text(unsigned long long faces, unsigned long long vertices, double volume) {
    return QString::number(faces) + QStringLiteral(" faces, ") + QString::number(vertices) +
           QStringLiteral(" vertexes, ") + QStringLiteral(" Total Volume = ") + Float_To_Str(volume) +
           QStringLiteral(" unit-cubic");
}

QString Import_Progress_Text(int filesLoaded, int ms) {
    return QString::number(filesLoaded) + QStringLiteral(" STL Files Loaded within ") + QString::number(ms) +
           QStringLiteral(" ms");
}

}  // namespace orvex
