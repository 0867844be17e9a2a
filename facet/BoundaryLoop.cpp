#include "facet/BoundaryLoop.h"

namespace orvex {

void BOUNDARY_LOOP::Resize(unsigned n) {
    Release();
    Points.assign(n, LoopPoint{});
}

void BOUNDARY_LOOP::Release() {
    Points = {};
}

void BOUNDARY_LOOP::CopyRange(const BOUNDARY_LOOP&, unsigned, unsigned) {}

Status BOUNDARY_LOOP::Refine() {
    return Status::Ok();
}

void BOUNDARY_LOOP::Smooth(int) {}

Status BOUNDARY_LOOP::WriteLoopLOP(const std::string& name) const {
    return Status::Error(name + ".lop: not written");
}

double BOUNDARY_LOOP::Length() const {
    return 0.0;
}

BoundaryReport DetectBoundary(UniOb&, BOUNDARY_LOOP&) {
    return {};
}

}  // namespace orvex
