#pragma once
// Sick laser scans: a text file of white-space separated integers, 362 to a scan: the time tag, then
// 361 range readings, one a half degree over 180 degrees. A scan is a VEC_LIST of 362 floats: float
// 0 and the node's tag hold the time tag, float i + 1 reading i.

#include <cstdint>
#include <string>

#include "geometry/Status.h"
#include "geometry/Vec3.h"
#include "geometry/VecList.h"

namespace orvex {

constexpr int Sick_Readings = 361;
constexpr int Sick_Record = Sick_Readings + 1;
// Readings drawn: 300 to 75000 inclusive; 81870 and such mean no return.
constexpr float Scan_Min_Range = 300.0f;
constexpr float Scan_Max_Range = 75000.0f;

struct SickReadReport {
    std::uint64_t scans = 0;     // complete scans read
    std::uint64_t integers = 0;  // integers read
    std::uint64_t dropped = 0;   // integers of an incomplete last group, not kept
    std::uint64_t badLine = 0;   // 1-based line of a token that is not an integer, 0 when none
};

// Reads the scans in file order. With at least one scan, the old list from `scans` is destroyed
// and `scans` becomes the new one; otherwise (cannot open, nothing complete) it stays (not ok).
// A token that is not an integer, or one outside 32 bits, ends the reading; it is named with its
// line (not ok, scans before it kept). A dropped incomplete group is reported (not ok).
Status Read_Sick(const std::string& path, VEC_LIST*& scans, SickReadReport* report = nullptr);

// The drawn points of one scan: (r cos(i pi / 360), r sin(i pi / 360), 0) for each reading r = float
// i + 1 with 300 <= r <= 75000. Writes at most 361 points; returns how many.
int Scan_Points(const VEC_LIST& scan, Vec3* out);

}  // namespace orvex
