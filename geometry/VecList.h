#pragma once
// VEC_LIST: node of a singly linked list owning one float array of fixed length. The hull
// benchmarks create ten million of these, so the node keeps only what some operation reads.

#include <cstdint>

namespace orvex {

struct VEC_LIST {
    struct External {};

    explicit VEC_LIST(unsigned n) : values(n ? new float[n] : nullptr) {}
    // A node whose array lives in someone else's bulk storage (the point pools); never freed here.
    VEC_LIST(float* storage, External) : values(storage), ownsValues(false) {}
    ~VEC_LIST() {
        if (ownsValues) delete[] values;
    }
    VEC_LIST(const VEC_LIST&) = delete;
    VEC_LIST& operator=(const VEC_LIST&) = delete;

    float* values;
    std::int32_t tag = 0;
    std::uint8_t flag = 0;
    bool ownsValues = true;
    VEC_LIST* next = nullptr;
};

// Destroys every node from head on; the owner's head pointer is set to null.
void Free_Vec_List(VEC_LIST*& head);

}  // namespace orvex
