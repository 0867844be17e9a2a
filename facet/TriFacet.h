#pragma once
// TRI_FACET: a free triangle carrying its own corners, its plane and two owned lists of point
// records (VEC_LIST). Facets are linked by Next into lists whose owner destroys them; `new` and
// `delete` of a facet take it from and give it back to a shared block pool (a cut of a 2M-triangle
// mesh makes millions of them), so any facet may be created, moved between lists and destroyed
// one by one. Destroying a facet destroys its two lists, never Next.
//
// LOP files: one record a line, six comma-separated numbers (a point, then a normal or a
// direction); consecutive records pair into line segments.

#include <cstddef>
#include <string>

#include "geometry/Status.h"
#include "geometry/Vec3.h"
#include "geometry/VecList.h"

namespace orvex {

struct TRI_FACET {
    TRI_FACET() = default;
    ~TRI_FACET();
    TRI_FACET(const TRI_FACET&) = delete;
    TRI_FACET& operator=(const TRI_FACET&) = delete;

    static void* operator new(std::size_t size);
    static void operator delete(void* p) noexcept;

    Vec3 Normal;
    float Offset = 0.0f;  // Normal . Corner1: the plane is {p : Normal . p = Offset}
    Vec3 Corner0;
    Vec3 Corner1;
    Vec3 Corner2;
    TRI_FACET* Next = nullptr;
    VEC_LIST* Segments = nullptr;  // owned; LOP or cut records, read in pairs
    VEC_LIST* Cut_Path = nullptr;  // owned; the second polygon of a cut facet
};

// Normal := Facet_Normal of the corners (zero for a degenerate facet); Offset := Normal . Corner1.
void ComputePlane(TRI_FACET& facet);
// +1 above the plane by more than 1e-8, -1 below by more, else 0.
int PlaneSide(const TRI_FACET& facet, const Vec3& point);
// Destroys every record of Segments and Cut_Path.
void ClearLists(TRI_FACET& facet);
// Destroys every facet from head on (following Next); head becomes null.
void Free_Facet_List(TRI_FACET*& head);

// The longest LOP line taken, without its line end; a longer one is malformed.
constexpr std::size_t Lop_Line_Limit = 4096;

struct LopReadReport {
    std::size_t records = 0;  // records kept in Segments
    unsigned badLine = 0;     // 1-based line where reading stopped, 0 when it reached the end
    bool droppedOdd = false;  // an unpaired last record was dropped
};

// ClearLists, then each record of the file becomes a 6-float record inserted at the head of
// Segments (the list holds the file in reverse order). Reading stops at the first line that is
// not six comma-separated finite numbers (lines of white space only are passed over) and keeps
// the records before it; CRLF ends and a missing last line feed are fine. An odd record count
// drops the last record, since the reversed list would pair records the file never paired.
// Not ok (with file and line named) for an unreadable file, a bad line or an odd count.
Status ReadLOP(TRI_FACET& facet, const std::string& path, LopReadReport* report = nullptr);

// Writes Segments (records of six floats) in list order to name + ".lop", "%f" each number. An empty list
// writes no file and says so (not ok).
Status WriteLOP(const TRI_FACET& facet, const std::string& name);

}  // namespace orvex
