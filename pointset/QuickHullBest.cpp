// Quick Hull Best: faces first in, first out, the furthest outside point as the apex, the new faces
// of a cone filled largest first. Faces without outside points wait on a finished chain; dead
// faces are deleted when the search for the next face passes them.

#include "geometry/Clock.h"
#include "pointset/HullHelpers.h"

namespace orvex {

Status POINT_LIST::QuickHullBest(Progress* progress) {
    HullRun run(*this, progress, "Quick Hull Best");
    if (Status s = run.Begin(true); !s) return s;
    if (Status s = run.ChooseExtremeCorners(); !s) return s;
    run.BuildTetrahedron();
    const int t0 = Millisecond_Clock();

    Face* tail = &hull;
    Face* first[4];
    for (Face*& f : first) f = tail = tail->next;
    run.FillOutsideSets(first, 4, HullRun::FillRule::Furthest);

    Face* finished = nullptr;
    for (;;) {
        Face* f = run.NextFaceWithOutside(&hull, tail, true);
        if (!f) break;

        VEC_LIST* apex = run.TakeApex(f);
        run.CarveFromRoot(f, apex);
        if (!run.ConeIsOneLoop())
            return run.Fail({hull.next, finished}, "the faces seen from an apex do not form a disc");
        run.CloseCone(false);
        run.SortNewFaces();
        const std::vector<Face*>& cone = run.TakeNewFaces();
        run.FillOutsideSets(cone.data(), int(cone.size()), HullRun::FillRule::Furthest);
        for (Face* g : cone) {
            if (!g->outsideHead) {
                g->next = finished;
                finished = g;
            } else {
                tail->next = g;
                tail = g;
            }
        }
    }

    tail->next = finished;
    for (Face* prev = tail; Face* f = prev->next;) {
        if (f->visited) {
            prev->next = f->next;
            DeleteFace(f);
        } else {
            prev = f;
        }
    }
    run.c[11] = std::uint32_t(Millisecond_Clock() - t0);
    return run.Finish();
}

}  // namespace orvex
