#include "fit/RmsSphere.h"

#include "pointset/PointList.h"

namespace orvex {

bool RMSSPHERE::SetPoints(std::uint32_t n) {
    if (n == 0) return true;
    count = 0;
    points.assign(n, SpherePoint{0, 0, 0});
    count = n;
    return true;
}

bool RMSSPHERE::Fit() {
    return count >= 3;
}

bool Load_Points(RMSSPHERE& sphere, const POINT_LIST& set) {
    const unsigned n = set.Count(0);
    if (!sphere.SetPoints(n)) return false;
    if (n == 0) return true;
    unsigned i = 0;
    for (const VEC_LIST* p = set.points.next; p && i < n; p = p->next, ++i)
        sphere.points[i] = {p->values[0], p->values[1], p->values[2]};
    return true;
}

std::string Sphere_Detail_Line(const RMSSPHERE&) {
    return {};
}

std::string Sphere_Log_Text(const RMSSPHERE&) {
    return {};
}

Status Write_Sphere_Log(const RMSSPHERE&, const std::string&) {
    return Status::Ok();
}

int Refine_Geometric(RMSSPHERE&, int) {
    return 0;
}

}  // namespace orvex
