#pragma once
// Eigen-decomposition of a small symmetric matrix: tri-diagonal reduction (one plane reflection
// for 3 x 3, the general Householder reduction for other sizes; both read the upper triangle), QL
// with implicit shifts, at most 32 sweeps per eigenvalue, eigenvalues sorted increasing with their
// eigenvector columns.

#include <vector>

namespace orvex {

class Eigen {
public:
    // Throws std::invalid_argument("iSize >= 2") for n < 2, in every build type.
    explicit Eigen(int n);

    void SetMatrix(const float* const* rows);
    void SetMatrix(const float* rowMajor);
    void Solve();
    float Get(int row, int column) const { return matrix_[row * iSize + column]; }
    float EigenValue(int j) const { return diag_[j]; }
    int Size() const { return iSize; }

    const int iSize;

private:
    void TridiagonalReduce();
    bool QlIterate();
    void SortIncreasing();

    std::vector<float> matrix_;  // row-major; eigenvectors as columns after Solve
    std::vector<float> diag_;
    std::vector<float> sub_;
};

}  // namespace orvex
