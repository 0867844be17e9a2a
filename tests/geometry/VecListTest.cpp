// The list node owns its array and nothing else.
#include <gtest/gtest.h>

#include "geometry/VecList.h"

using namespace orvex;

TEST(VecListDegenerate, LengthZeroHasNoArrayAndDestroysSafely) {
    auto* node = new VEC_LIST(0);
    EXPECT_EQ(node->values, nullptr);
    EXPECT_EQ(node->next, nullptr);
    delete node;
}

TEST(VecListDegenerate, DestroyingTheFirstNodeLeavesTheSecond) {
    auto* first = new VEC_LIST(3);
    auto* second = new VEC_LIST(3);
    first->next = second;
    second->values[0] = 4.25f;
    VEC_LIST* head = first->next;
    delete first;
    EXPECT_EQ(second->values[0], 4.25f);
    Free_Vec_List(head);
    EXPECT_EQ(head, nullptr);
}

TEST(VecList, FreeingAMillionNodesDoesNotRecurse) {
    VEC_LIST* head = nullptr;
    for (int i = 0; i < 1000000; ++i) {
        auto* node = new VEC_LIST(3);
        node->next = head;
        head = node;
    }
    Free_Vec_List(head);
    EXPECT_EQ(head, nullptr);
}
