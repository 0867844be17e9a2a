#include "analysis/NormalizeFacePose.h"

#include <cmath>
#include <utility>
#include <vector>

#include "analysis/PickEyeRegion.h"
#include "geometry/Matrix4.h"
#include "mesh/Topology.h"

namespace orvex {

namespace {

Vec3 Centre(const VEC_LIST* record) {
    return {record->values[0], record->values[1], record->values[2]};
}
Vec3 Normal(const VEC_LIST* record) {
    return {record->values[3], record->values[4], record->values[5]};
}

bool Finite(const Vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

VEC_LIST* New_Record(unsigned n, const float* values) {
    auto* record = new VEC_LIST(n);
    for (unsigned i = 0; i < n; ++i) record->values[i] = values[i];
    return record;
}

// Where edge a-b meets the plane x = 0, for ends on both sides or one end in it; an edge lying in
// the plane has no single crossing and is passed over.
bool Plane_Crossing(const Vec3& a, const Vec3& b, bool strict, float& y, float& z) {
    const float product = a.x * b.x;
    if (strict ? !(product < 0.0f) : !(product <= 0.0f)) return false;
    if (a.x == 0.0f && b.x == 0.0f) return false;
    const float t = std::fabs(a.x / (b.x - a.x));
    y = a.y + t * (b.y - a.y);
    z = a.z + t * (b.z - a.z);
    return true;
}

struct Bridge {
    bool found = false;
    float y = 0.0f, z = 0.0f;
    int a = 0, b = 0;
};

Bridge Find_Bridge(const UniOb& mesh, const std::vector<Vec3>& pos, const std::vector<Vec3>& faceNormal,
                   float w) {
    Bridge bridge;
    float best = 1001.0f;
    for (unsigned f = 0; f < mesh.Face_Count; ++f) {
        if (!(faceNormal[f].z > 0.0f)) continue;
        const FaceIndex& face = mesh.Face_Index[f];
        const Vec3& first = pos[face[0]];
        if (!(std::fabs(first.x) < w / 2) || !(std::fabs(first.y) < w)) continue;
        for (int k = 0; k < 3; ++k) {
            const int ia = face[k], ib = face[(k + 1) % 3];
            float y, z;
            if (!Plane_Crossing(pos[ia], pos[ib], false, y, z)) continue;
            const float d = std::sqrt(y * y + z * z);
            if (d < best) {
                best = d;
                bridge = {true, y, z, ia, ib};
            }
        }
    }
    return bridge;
}

void Rotate_All(std::vector<Vec3>& pos, std::vector<Vec3>& normals, const Matrix4& R, const Vec3& origin) {
    for (Vec3& p : pos) {
        p -= origin;
        Mat4_TransformVector(R, p);
    }
    for (Vec3& n : normals) Mat4_TransformVector(R, n);
}

void Rebuild_Profile_Marks(UniOb& mesh) {
    Free_Vec_List(mesh.Profile_Marks);
    VEC_LIST** tail = &mesh.Profile_Marks;
    auto append = [&tail](float x, float y, float z) {
        const float values[3] = {x, y, z};
        *tail = New_Record(3, values);
        tail = &(*tail)->next;
    };
    static const float corners[4][3] = {{0, 100, 100}, {0, 100, -100}, {0, -120, -100}, {0, -120, 100}};
    for (int k = 0; k < 4; ++k) {
        const float* a = corners[k];
        const float* b = corners[(k + 1) % 4];
        append(a[0], a[1], a[2]);
        append(b[0], b[1], b[2]);
    }
    for (const FaceIndex& face : mesh.Face_Index) {
        for (int k = 0; k < 3; ++k) {
            float y, z;
            if (Plane_Crossing(mesh.Vertex_Pos[face[k]], mesh.Vertex_Pos[face[(k + 1) % 3]], true, y, z))
                append(0.0f, y, z);
        }
    }
}

}  // namespace

bool In_Feature_Window(float x, float y, float w) {
    const float ax = std::fabs(x);
    return (9 * w <= y && y < 10 * w && ax < 6 * w) || (4 * w <= y && y < 9 * w && ax < 0.5f * w) ||
           (-8 * w <= y && y < -3 * w && ax < 5 * w) || (3 * w <= y && y < 4 * w && ax < 6 * w) ||
           (-3 * w <= y && y < 3 * w && ax < 3 * w);
}

Status NormalizeFacePose(UniOb& mesh, VEC_LIST* left, VEC_LIST* right) {
    if (mesh.IsEmpty()) return Status::Error("the mesh is empty");
    if (!left || !right) return Status::Error("an eye has no region");
    if (left == right) return Status::Error("both eyes picked the same region");

    // Eye frame.
    const Vec3 cl = Centre(left), cr = Centre(right);
    const Vec3 D = cl - cr;
    const Vec3 S = Normal(left) + Normal(right);
    if (!Finite(D) || !Finite(S)) return Status::Error("an eye region holds an undefined number");
    const float length = std::sqrt(Dot(D, D));
    if (!(Dot(D, D) > 1e-12f)) return Status::Error("the eyes lie at one place (zero eye distance)");
    const Vec3 SxD = Cross(S, D);
    if (!(Dot(SxD, SxD) > 1e-12f * Dot(S, S) * Dot(D, D)) || !(Dot(SxD, SxD) > 0.0f))
        return Status::Error("the eye normals sum along the eyes' axis (no up direction)");
    const float w = length / 4;
    Vec3 X = D, Y = SxD, Z = Cross(D, SxD);
    Vec3_Normalize(X);
    Vec3_Normalize(Y);
    Vec3_Normalize(Z);
    Matrix4 R1;
    Mat4_Identity(R1);
    for (int c = 0; c < 3; ++c) {
        R1[c] = X[c];
        R1[4 + c] = Y[c];
        R1[8 + c] = Z[c];
    }
    const Vec3 mid = (cl + cr) * 0.5f;

    // Steps up to the bridge search work on copies, so a face without a bridge is left as it was.
    std::vector<Vec3> pos = mesh.Vertex_Pos;
    std::vector<Vec3> faceNormal = mesh.Face_Normal;
    Rotate_All(pos, faceNormal, R1, mid);

    // Nose tip: the highest vertex of the box below the eyes.
    unsigned tip = 0;
    bool inBox = false;
    for (unsigned i = 0; i < mesh.Vertex_Count; ++i) {
        const Vec3& p = pos[i];
        if (!(-5 * w < p.x && p.x < 5 * w && -6 * w < p.y && p.y < 0 && 0 < p.z && p.z < 6 * w)) continue;
        if (!inBox || p.z > pos[tip].z) tip = i;
        inBox = true;
    }

    // Turn the tip onto the negative y axis; a tip on the z axis has no direction to turn from.
    const float xt = pos[tip].x, yt = pos[tip].y;
    const float M = std::sqrt(xt * xt + yt * yt);
    if (M > 0.0f) {
        const float ay = std::fabs(yt);
        auto turn = [&](Vec3& p) {
            const float x = (ay * p.x + xt * p.y) / M;
            const float y = (-xt * p.x + ay * p.y) / M;
            p.x = x;
            p.y = y;
        };
        for (Vec3& p : pos) turn(p);
        for (Vec3& n : faceNormal) turn(n);
    }

    const Bridge bridge = Find_Bridge(mesh, pos, faceNormal, w);
    if (!bridge.found)
        return Status::Error("no edge crosses the profile plane near the eyes (no nose bridge)");

    // From here on the mesh moves.
    mesh.Vertex_Pos = std::move(pos);
    mesh.Face_Normal = std::move(faceNormal);
    Compute_Vertex_Normals(mesh, true);

    mesh.Left_Eye = nullptr;
    mesh.Right_Eye = nullptr;
    Free_Vec_List(mesh.Region_List);
    mesh.Feature_Vertices.clear();

    Vec3 bridgeNormal = mesh.Vertex_Normal[bridge.a] + mesh.Vertex_Normal[bridge.b];
    Vec3_Normalize(bridgeNormal);
    const Vec3 bridgePos{0.0f, bridge.y, bridge.z};

    // Bridge frame: a turn about x putting the mean of the bridge and tip normals along +z.
    const Vec3& tipNormal = mesh.Vertex_Normal[tip];
    Vec3 up{0.0f, bridgeNormal.y + tipNormal.y, bridgeNormal.z + tipNormal.z};
    Vec3_Normalize(up);
    Matrix4 R2;
    Mat4_Identity(R2);
    if (Dot(up, up) > 0.5f) Mat4_AlignToZ(R2, up);
    Rotate_All(mesh.Vertex_Pos, mesh.Face_Normal, R2, bridgePos);
    Mat4_TransformVector(R2, bridgeNormal);
    Compute_Vertex_Normals(mesh, true);

    const float bridgeValues[6] = {0, 0, 0, bridgeNormal.x, bridgeNormal.y, bridgeNormal.z};
    mesh.Region_List = New_Record(6, bridgeValues);
    const Vec3& tp = mesh.Vertex_Pos[tip];
    const Vec3& tn = mesh.Vertex_Normal[tip];
    const float tipValues[6] = {tp.x, tp.y, tp.z, tn.x, tn.y, tn.z};
    VEC_LIST* tipRecord = New_Record(6, tipValues);
    tipRecord->next = mesh.Region_List;
    mesh.Region_List = tipRecord;
    mesh.Feature_Scale = w;

    // Features, newest first: the list runs from the highest vertex index down.
    if (mesh.HasCurvature()) {
        for (unsigned i = mesh.Vertex_Count; i-- > 0;) {
            const Vec3& p = mesh.Vertex_Pos[i];
            if (std::fabs(mesh.Curvature_Max[i]) >= 1e-6f && In_Feature_Window(p.x, p.y, w))
                mesh.Feature_Vertices.push_back(int(i));
        }
    }
    mesh.AllocFeatures(unsigned(mesh.Feature_Vertices.size()));
    for (std::size_t k = 0; k < mesh.Feature_Vertices.size(); ++k) {
        const int v = mesh.Feature_Vertices[k];
        const Vec3& p = mesh.Vertex_Pos[v];
        const Vec3& n = mesh.Vertex_Normal[v];
        mesh.Feature_Records[k] = {p.x,
                                   p.y,
                                   p.z,
                                   n.x,
                                   n.y,
                                   n.z,
                                   mesh.Curvature_Max[v],
                                   mesh.Curvature_Min[v],
                                   std::exp(-std::fabs(p.x) / 30.0f),
                                   0.0f};
    }

    Rebuild_Profile_Marks(mesh);
    return Status::Ok();
}

Status Normalize_Face(UniOb& mesh, const FaceEyes& eyes) {
    if (mesh.IsEmpty()) return Status::Error("the mesh is empty");
    VEC_LIST* left = nullptr;
    VEC_LIST* right = nullptr;
    const bool foundLeft = PickEyeRegion(mesh, eyes.leftU, eyes.leftV, left);
    const bool foundRight = PickEyeRegion(mesh, eyes.rightU, eyes.rightV, right);
    if (foundLeft) mesh.Left_Eye = left;
    if (foundRight) mesh.Right_Eye = right;
    if (!foundLeft || !foundRight) return Status::Error("no candidate region for the eyes");
    if (left == right) return Status::Error("both eyes picked the same region");
    return NormalizeFacePose(mesh, left, right);
}

}  // namespace orvex
