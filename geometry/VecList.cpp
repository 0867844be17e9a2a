#include "geometry/VecList.h"

namespace orvex {

void Free_Vec_List(VEC_LIST*& head) {
    // Iterative: a ten-million point list would overflow the stack if destroyed recursively.
    while (head) {
        VEC_LIST* next = head->next;
        delete head;
        head = next;
    }
}

}  // namespace orvex
