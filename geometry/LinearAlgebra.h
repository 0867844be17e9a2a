#pragma once
// Small dense solvers: Gaussian elimination, inverse, power iteration and the quaternion rigid fit.
// Singular systems never leave inf or NaN in what a caller reads: the solver reports them instead.

#include <cstddef>

#include "geometry/Matrix4.h"

namespace orvex {

// Solves the n x (n + 1) augmented system in place (solution in column n). A system with a zero
// pivot, or whose solution overflows float, is singular: false is returned and column n keeps the
// values elimination left there.
bool Gauss_Solve(int n, float* system);

// out := inverse of the n x n row-major matrix A. Returns false when the last pivot is zero (the
// back substitution is skipped and out gets the right half of the eliminated [A | I]) or when the
// result is not finite; in both cases any inf or NaN entry of out is replaced by 0.
bool Mat_Inverse(const float* A, float* out, int n);

constexpr int kPowerIterationMaxSize = 1024;
// Eigenvector of the eigenvalue of largest magnitude, first component made non-negative.
// Returns false (p untouched) when n is outside 1..1024. Also false when M v vanishes or is not
// finite on the way (a zero matrix): p then holds the last unit vector of the iteration.
bool Power_Iteration(int n, float* p, const float* M, float tol);

// M := rigid transform [R t; 0 0 0 1] (row-major) moving Q onto P; returns the residual of the
// rotation alone (t not applied). count = 0 gives the identity and 0; a set collapsed to one
// point gives R = identity.
float Rigid_Fit(Matrix4& M, const Vec3* P, const Vec3* Q, std::size_t count);

}  // namespace orvex
