// The incremental hull: the first four points as the tetrahedron, every point in the conflict list
// of the first face it lies above, the first point of a face's list as the apex, and the faces of
// each cone served in a random order. Work faces go first in, first out; faces without points wait
// on a done list that becomes the hull.

#include "geometry/Clock.h"
#include "pointset/HullHelpers.h"

namespace orvex {

namespace {

// A face list with its tail, appended at the end.
struct FaceQueue {
    Face* head = nullptr;
    Face* tail = nullptr;

    void Append(Face* f) {
        f->next = nullptr;
        (tail ? tail->next : head) = f;
        tail = f;
    }
    void Append(FaceQueue& other) {
        if (!other.head) return;
        (tail ? tail->next : head) = other.head;
        tail = other.tail;
        other.head = other.tail = nullptr;
    }
    Face* PopFront() {
        Face* f = head;
        head = f->next;
        if (!head) tail = nullptr;
        f->next = nullptr;
        return f;
    }
};

}  // namespace

Status POINT_LIST::IncrementalHull(Progress* progress) {
    HullRun run(*this, progress, "Incremental");
    if (Status s = run.Begin(false); !s) return s;
    if (Status s = run.ChooseFirstCorners(); !s) return s;
    run.BuildTetrahedron();
    const int t0 = Millisecond_Clock();

    FaceQueue work, done;
    Face* first[4];
    Face* at = &hull;
    for (Face*& f : first) f = at = at->next;
    hull.next = nullptr;
    run.FillOutsideSets(first, 4, HullRun::FillRule::FirstFit);
    for (Face* f : first) (f->outsideHead ? work : done).Append(f);

    while (work.head) {
        Face* f = work.head;
        if (f->visited) {
            DeleteFace(work.PopFront());
            continue;
        }
        VEC_LIST* apex = run.TakeApex(f);
        run.CarveFromRoot(f, apex);
        if (!run.ConeIsOneLoop())
            return run.Fail({work.head, done.head}, "the faces seen from an apex do not form a disc");
        DeleteFace(work.PopFront());
        run.CloseCone(true);
        run.SortNewFaces();
        FaceQueue newWork, newDone;
        const std::vector<Face*>& cone = run.TakeNewFaces();
        run.FillOutsideSets(cone.data(), int(cone.size()), HullRun::FillRule::FirstFit);
        for (Face* g : cone) (g->outsideHead ? newWork : newDone).Append(g);
        work.Append(newWork);
        done.Append(newDone);
    }

    hull.next = done.head;
    run.c[11] = std::uint32_t(Millisecond_Clock() - t0);
    for (Face* prev = &hull; Face* f = prev->next;) {
        if (f->visited) {
            prev->next = f->next;
            DeleteFace(f);
        } else {
            prev = f;
        }
    }
    return run.Finish();
}

}  // namespace orvex
