#pragma once
// HullRun: the state one hull run shares between the three algorithms and their common steps:
// the input checks, the first tetrahedron, face planes, the above/visible tests, MarkVisible,
// CarveHorizon, closing and sorting a cone, filling outside sets and the final clean-up.
//
// Outside sets are arrays of entries, each a copy of a point's coordinates and the point's number in
// the run's node table, kept in exactly the order the linked sets of the definition would have; a
// face's outsideHead and outsideTail name the nodes of the first and last entry, and the first
// entry's node tag holds the set's index. A fill streams through such arrays and writes new ones
// without touching a node, where walking linked nodes would wait on one cache miss after another,
// which decides the speed on millions of points. Pending points are a sequence of pieces of such
// arrays, or, for the first fill, the node table itself.
// Invariants during a run: every point node is in exactly one of the point list (hull vertices),
// the pending pieces, one live face's outside set or the inside marks (deleted when the run ends);
// live faces link only to live faces; a face's outside set holds only points exactly above its
// plane; an entry's coordinates are those its node holds.

#include <cstdint>
#include <string>
#include <vector>

#include "geometry/Progress.h"
#include "geometry/Status.h"
#include "pointset/PointList.h"

namespace orvex {

using Face = CON_FACE_LIST_VEC;

// Sorts a face list ascending by key, keeping the list order of equal keys; head and tail are
// replaced by those of the sorted list.
void SortFacesByKey(Face*& head, Face*& tail);

class HullRun {
public:
    HullRun(POINT_LIST& set, Progress* progress, const char* name);
    ~HullRun();
    HullRun(const HullRun&) = delete;
    HullRun& operator=(const HullRun&) = delete;

    // Deletes the hull, zeroes the counters, counts the points and checks that they can be
    // hulled in single precision at all (at least four, finite, within range).
    Status Begin(bool scores);
    // The quick hulls' start: the four extreme points by the four scores. When they span no
    // solid, better corners are searched; a flat, straight or single-point set is an error.
    Status ChooseExtremeCorners();
    // The incremental hull's corners: the first four points of the list, checked the same way.
    Status ChooseFirstCorners();
    // Orientation, the four faces with their neighbours; the other points pending.
    void BuildTetrahedron();

    // The first face of the list after `head` that has outside points. Dead faces met on the way are
    // unlinked and deleted (counter 6), keeping `tail` on the list's last face; with countVisits
    // every face looked at counts in counter 4. Null when no face has outside points.
    Face* NextFaceWithOutside(Face* head, Face*& tail, bool countVisits);
    // Takes the apex off f's outside set; the rest becomes pending.
    VEC_LIST* TakeApex(Face* f);
    void MarkVisible(Face* f, VEC_LIST* apex);
    void CarveHorizon(Face* f, VEC_LIST* apex);
    // The apex's own face looks at all three edges, searching the neighbour's slot upwards.
    void CarveFromRoot(Face* f, VEC_LIST* apex);
    // The cone's outer edges must run around the horizon as one simple loop.
    bool ConeIsOneLoop();
    // Links the cone faces in a ring and gives each its key (area order or random order).
    void CloseCone(bool randomKeys);
    void SortNewFaces() { SortFacesByKey(newFaces.next, newTail_); }
    // The new faces in list order, taken off newFaces.
    std::vector<Face*>& TakeNewFaces();

    // Filling the outside sets of faces[0..n) from the pending points, as filling them one after
    // another in this order would: each point is tested against the faces in turn and goes to the
    // first one it lies above. The quick hulls put a point at the front of the set when it is
    // further than the running threshold and bring the furthest point to the front, their maximum
    // starting at -1 (Best) or at the face's key, where Special keeps it; the incremental hull
    // appends. One walk over the points serves all the faces (a face's starting threshold only
    // places its first point, which is first either way), and points above none of them are
    // inside: marked, and deleted when the run ends.
    enum class FillRule { Furthest, FurthestKeyMaximum, FirstFit };
    void FillOutsideSets(Face* const* faces, int n, FillRule rule);

    // The end of a run, from the point where the hull list is complete and holds no dead face.
    Status Finish();
    // Ends a run that cannot go on: every point still alive goes back to the point list (interior
    // points already deleted do not change the hull), the listed faces are deleted.
    Status Fail(std::vector<Face*> faceLists, const std::string& why);

    void ReportProgress();

    POINT_LIST& set;
    HullStats c{};
    Face newFaces;  // sentinel; only next is used

private:
    struct Frame {
        Face* face;
        int k;
    };
    struct Corners {
        VEC_LIST* node[4];
    };
    struct FillSlot;
    // A pending piece: the entries of one outside set from `from` on.
    struct Piece {
        std::uint32_t set;
        std::uint32_t from;
    };

    // The eight best positions of one extreme score over the list, best first.
    struct Leaders {
        static constexpr int kLeaders = 8;
        float score[kLeaders];
        std::uint32_t position[kLeaders];
        int size = 0;
        void Offer(float value, std::uint32_t at);
    };

    Status TakeCorners();
    Status CheckCorners();
    VEC_LIST* TakeFarthest(int kind);
    void RestoreCorners(int from, int to);
    Status Refuse(const std::string& why);
    void SetPlane(Face* f);
    void MakeConeFace(Face* f, int e, VEC_LIST* apex, bool searchDown);
    std::uint32_t NewSet();
    void ReleaseSet(std::uint32_t index);
    void GatherPending();   // the pending points in outside sets as spans, in walk order
    void ReleasePending();  // the sets they came from are free again
    void DeleteInside();    // deletes the points marked inside

    Progress* progress_;
    const char* name_;
    double largest_ = 0.0;    // largest coordinate magnitude of the input
    double flatTol_ = 0.0;    // a corner nearer than this to the line or plane of the others is flat
    float threshold_ = 0.0f;  // the single running threshold of the quick hulls
    Corners corners_{};
    int reports_ = 0;
    Face* newTail_ = nullptr;
    std::vector<Frame> stack_;
    std::vector<FillSlot> slots_;
    std::vector<Face*> order_;
    // A point in an outside set: its coordinates and its index in nodes_.
    struct Entry {
        float x, y, z;
        std::uint32_t id;
    };
    // A growing array of entries. Its storage is grown with realloc, which moves a large block by
    // remapping its pages instead of copying them.
    struct EntryArray {
        Entry* data = nullptr;
        std::size_t size = 0;
        std::size_t capacity = 0;

        EntryArray() = default;
        EntryArray(EntryArray&& other) noexcept;
        EntryArray& operator=(EntryArray&& other) noexcept;
        ~EntryArray() { Release(); }
        bool Empty() const { return size == 0; }
        void Push(const Entry& e) {
            if (size == capacity) Grow();
            data[size++] = e;
        }
        void Grow();
        void Release();
    };
    // An outside set: part 0 (front) holds the points put in front, latest last, part 1 (back) the
    // appended ones; the set reads front backwards, then back.
    struct OutsideSet {
        EntryArray part[2];
    };
    struct Span {
        const Entry* first;
        std::ptrdiff_t count;
        int step;
    };
    template <int Blocks, class Source>
    std::uint64_t FillFrom(const Source& source, int n, bool firstFit);
    template <class Source>
    std::uint64_t FillWith(const Source& source, int n, bool firstFit);

    std::vector<OutsideSet> sets_;  // index 0 is never used
    std::vector<Span> spans_;
    std::vector<std::uint32_t> freeSets_;
    std::vector<Piece> spliced_;         // sets MarkVisible put in front of the pending points, in order
    Piece rest_{0, 0};                   // the apex's own set behind them
    std::vector<VEC_LIST*> nodes_;       // the run's points in list order; entries name them by index
    std::size_t pendingFrom_ = 0;        // nodes_ from here on are pending (only before the first fill)
    std::vector<float> blocks_;          // the fill's planes, see FillFrom
    std::vector<std::uint64_t> inside_;  // a bit per node: found inside, to be deleted
    Leaders leaders_[4];
    bool broken_ = false;
};

}  // namespace orvex
