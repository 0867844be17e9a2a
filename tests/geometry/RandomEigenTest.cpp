// The program's random sequences and the symmetric eigen-decomposition.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <vector>

#include "geometry/Eigen.h"
#include "geometry/Random.h"

using namespace orvex;

TEST(Random, LaggedSequenceStartsFromTheFixedTable) {
    Random_Reset_All();
    EXPECT_EQ(Random_Next(), 0x09de79cdu);
    EXPECT_EQ(Random_Next(), 0x6de45110u);
    EXPECT_EQ(Random_Below(0), 0u);
    EXPECT_EQ(Random_Uniform(2.5L, 2.5L), 2.5L);
}

TEST(Eigen, DiagonalMatrixIsSortedWithItsAxes) {
    const float A[9] = {3, 0, 0, 0, 1, 0, 0, 0, 2};
    Eigen e(3);
    e.SetMatrix(A);
    e.Solve();
    const float columns[3][3] = {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}};
    for (int j = 0; j < 3; ++j) {
        EXPECT_EQ(e.EigenValue(j), float(j + 1));
        for (int r = 0; r < 3; ++r) EXPECT_EQ(e.Get(r, j), columns[j][r]);
    }
}

TEST(Eigen, RandomSymmetricMatricesDecompose) {
    // A v = lambda v for every column, orthonormal columns, increasing values; sizes other than 3
    // go through the general reduction.
    Random_Reset_All();
    for (int n : {3, 3, 3, 3, 2, 4, 7}) {
        std::vector<float> A(n * n);
        for (int r = 0; r < n; ++r)
            for (int c = r; c < n; ++c) A[r * n + c] = A[c * n + r] = float(Random_Uniform(-2, 2));
        Eigen e(n);
        e.SetMatrix(A.data());
        e.Solve();
        for (int j = 0; j < n; ++j) {
            if (j > 0) {
                EXPECT_LE(e.EigenValue(j - 1), e.EigenValue(j));
            }
            for (int r = 0; r < n; ++r) {
                double Av = 0, dot = 0;
                for (int k = 0; k < n; ++k) {
                    Av += double(A[r * n + k]) * e.Get(k, j);
                    dot += double(e.Get(k, r)) * e.Get(k, j);
                }
                EXPECT_NEAR(Av, double(e.EigenValue(j)) * e.Get(r, j), 5e-5) << n << ": " << r << "," << j;
                EXPECT_NEAR(dot, r == j ? 1.0 : 0.0, 5e-5) << n << ": columns " << r << "," << j;
            }
        }
    }
}

TEST(Eigen, ZeroCornerSkipsTheReflection) {
    // m02 = 0: the frame stays the identity, so the decoupled axis is never rotated.
    const float A[9] = {2, 1, 0, 1, 2, 0, 0, 0, 5};
    Eigen e(3);
    e.SetMatrix(A);
    e.Solve();
    EXPECT_NEAR(e.EigenValue(0), 1.0f, 1e-6);
    EXPECT_NEAR(e.EigenValue(1), 3.0f, 1e-6);
    EXPECT_EQ(e.EigenValue(2), 5.0f);
    EXPECT_EQ(e.Get(0, 2), 0.0f);
    EXPECT_EQ(e.Get(2, 2), 1.0f);
    EXPECT_NEAR(e.Get(0, 0), -e.Get(1, 0), 1e-6);
}

TEST(EigenDegenerate, SizeBelowTwoIsRefused) {
    EXPECT_THROW(Eigen(1), std::invalid_argument);
    try {
        Eigen e(0);
        ADD_FAILURE() << "size 0 accepted";
    } catch (const std::invalid_argument& error) {
        EXPECT_STREQ(error.what(), "iSize >= 2");
    }
}
