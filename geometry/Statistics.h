#pragma once
// Scalar helpers over float arrays.

#include <cstddef>
#include <cstdint>

namespace orvex {

// Population mean and standard deviation; std keeps its previous value when var <= 1e-8.
void Mean_Std(const float* values, std::size_t n, float& mean, float& std);
float Value_Range(const float* values, std::size_t n);
float Shape_Index(float k1, float k2);
double Square(double x);
void Copy_Floats(float* dst, const float* src, std::size_t n);
void Fill_Words(void* dst, std::uint32_t value, std::size_t n);

}  // namespace orvex
