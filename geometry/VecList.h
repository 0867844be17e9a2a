#pragma once
// VEC_LIST: node of a singly linked list owning one float array of fixed length. The hull
// benchmarks create ten million of these, so the node keeps only what some operation reads.

#include <cstdint>

namespace orvex {

struct VEC_LIST {
    explicit VEC_LIST(unsigned n) : values(n ? new float[n] : nullptr) {}
    ~VEC_LIST() { delete[] values; }
    VEC_LIST(const VEC_LIST&) = delete;
    VEC_LIST& operator=(const VEC_LIST&) = delete;

    float* values;
    std::int32_t tag = 0;
    std::uint8_t flag = 0;
    VEC_LIST* next = nullptr;
};

// Destroys every node from head on; the owner's head pointer is set to null.
void Free_Vec_List(VEC_LIST*& head);

}  // namespace orvex
