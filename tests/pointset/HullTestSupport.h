#pragma once
// Helpers shared by the hull tests: building point sets by hand, running an algorithm by name,
// and the hull's vertex set as sorted coordinates.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "pointset/HullValidator.h"
#include "pointset/PointList.h"

namespace orvex::hulltest {

using Point = std::array<float, 3>;
using HullMethod = Status (POINT_LIST::*)(Progress*);

struct Algorithm {
    const char* name;
    HullMethod run;
};

inline const Algorithm kAlgorithms[3] = {{"Best", &POINT_LIST::QuickHullBest},
                                         {"Special", &POINT_LIST::QuickHullSpecial},
                                         {"Incremental", &POINT_LIST::IncrementalHull}};

inline std::string Algorithm_Name(const ::testing::TestParamInfo<int>& info) {
    return kAlgorithms[info.param].name;
}

inline Status Run_Hull(POINT_LIST& set, int algorithm) {
    // Copied out first: g++ 12's bounds sanitizer misreads an index inside a member-pointer call.
    const HullMethod run = kAlgorithms[algorithm].run;
    return (set.*run)(nullptr);
}

inline VEC_LIST* Add(POINT_LIST& set, float x, float y, float z) {
    VEC_LIST* node = set.NewPoint(3);
    node->values[0] = x;
    node->values[1] = y;
    node->values[2] = z;
    set.InsertFront(node);
    return node;
}

// Adds the points so that the list reads in the given order (the first one at the front).
inline void Fill(POINT_LIST& set, const std::vector<Point>& points) {
    set.Clear();
    for (auto it = points.rbegin(); it != points.rend(); ++it) Add(set, (*it)[0], (*it)[1], (*it)[2]);
}

inline std::vector<Point> List_Order(const POINT_LIST& set) {
    std::vector<Point> out;
    for (const VEC_LIST* p = set.points.next; p; p = p->next)
        out.push_back({p->values[0], p->values[1], p->values[2]});
    return out;
}

inline std::vector<Point> Sorted_Points(const POINT_LIST& set) {
    std::vector<Point> out = List_Order(set);
    std::sort(out.begin(), out.end());
    return out;
}

// Runs the algorithm and checks the hull against the points it ran on; with qconvex present the
// volume must agree with qhull's too.
inline void Expect_Valid_Hull(POINT_LIST& set, int algorithm, bool compareQhull = true) {
    const std::vector<Vec3> input = Capture_Points(set);
    const Status status = Run_Hull(set, algorithm);
    ASSERT_TRUE(status.ok) << status.message;
    HullCheckResult result;
    const Status valid = Validate_Hull(set, input, &result);
    ASSERT_TRUE(valid.ok) << valid.message;
    EXPECT_EQ(result.faces, 2 * result.vertices - 4);
    if (!compareQhull) return;
    const QhullVolume qhull = Qhull_Volume(input);
    if (!qhull.available) {
        std::printf("qhull volume not compared: %s\n", qhull.reason.c_str());
        return;
    }
    const Status same = Compare_Volumes(result.volume, qhull.volume);
    EXPECT_TRUE(same.ok) << same.message;
}

}  // namespace orvex::hulltest
