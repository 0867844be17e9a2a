// Quick Hull Special: Quick Hull Best's hull with faces last in, first out. Faces with outside
// points go to the front of the hull list and the others to its end, so the next face processed is
// the smallest new face of the latest cone that still has outside points.

#include "geometry/Clock.h"
#include "pointset/HullHelpers.h"

namespace orvex {

Status POINT_LIST::QuickHullSpecial(Progress* progress) {
    HullRun run(*this, progress, "Quick Hull Special");
    if (Status s = run.Begin(true); !s) return s;
    if (Status s = run.ChooseExtremeCorners(); !s) return s;
    run.BuildTetrahedron();
    const int t0 = Millisecond_Clock();

    // The four faces, filled in list order, end up in reverse order; row 0 is the tail.
    Face* first[4];
    Face* at = &hull;
    for (Face*& f : first) f = at = at->next;
    run.FillOutsideSets(first, 4, HullRun::FillRule::FurthestKeyMaximum);
    Face* tail = first[0];
    hull.next = first[3];
    for (int r = 3; r >= 0; --r) first[r]->next = r > 0 ? first[r - 1] : nullptr;

    for (;;) {
        Face* f = run.NextFaceWithOutside(&hull, tail, false);
        if (!f) break;

        VEC_LIST* apex = run.TakeApex(f);
        run.CarveFromRoot(f, apex);
        if (!run.ConeIsOneLoop())
            return run.Fail({hull.next}, "the faces seen from an apex do not form a disc");
        run.CloseCone(false);
        run.SortNewFaces();
        const std::vector<Face*>& cone = run.TakeNewFaces();
        run.FillOutsideSets(cone.data(), int(cone.size()), HullRun::FillRule::FurthestKeyMaximum);
        for (Face* g : cone) {
            if (!g->outsideHead) {
                tail->next = g;
                tail = g;
            } else {
                g->next = hull.next;
                hull.next = g;
                if (tail == &hull) tail = g;
            }
        }
    }
    run.c[11] = std::uint32_t(Millisecond_Clock() - t0);
    return run.Finish();
}

}  // namespace orvex
