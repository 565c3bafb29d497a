#include "pointer_list.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

int g_items[100];

std::vector<void*> Walk(const CPtrList& list) {
    std::vector<void*> out;
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;)
        out.push_back(list.GetNext(pos));
    return out;
}

// Reads a pointer-sized field at a byte offset, as code compiled elsewhere would.
template <typename T> T Field(const void* base, std::size_t offset) {
    T value;
    std::memcpy(&value, static_cast<const unsigned char*>(base) + offset, sizeof value);
    return value;
}

// The layout as the host knows it, written down here on its own: byte offsets on 32-bit
// Windows, where every field is four bytes. A 64-bit native build widens each field to a
// pointer, so At() scales the offsets with the pointer's size.
constexpr std::size_t At(std::size_t offset32) {
    return offset32 / 4 * sizeof(void*);
}
enum : std::size_t {
    kListSize = 28,
    kHead = 4,
    kTail = 8,
    kCount = 12,
    kFreeChain = 16,
    kBlockChain = 20,
    kBlockSize = 24,
};
enum : std::size_t { kNodeNext = 0, kNodePrev = 4, kNodeData = 8 };

// The length of a chain of links, each link at the given offset of its element.
int ChainLength(const void* first, std::size_t link) {
    int length = 0;
    for (const void* p = first; p != nullptr; p = Field<const void*>(p, At(link)))
        ++length;
    return length;
}

int CountBlocks(const CPtrList& list) {
    return ChainLength(Field<const void*>(&list, At(kBlockChain)), 0);
}

TEST(PointerList, StartsEmpty) {
    CPtrList list(10);
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.GetHeadPosition(), nullptr);
    EXPECT_EQ(list.FindIndex(0), nullptr);
    EXPECT_EQ(CountBlocks(list), 0);
    list.RemoveAll();
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetHeadPosition(), nullptr);
}

TEST(PointerList, KeepsOrderAndCountsAcrossBlocks) {
    CPtrList list(3);
    for (int i = 0; i < 100; ++i) {
        ASSERT_NE(list.AddTail(&g_items[i]), nullptr);
        EXPECT_EQ(list.GetCount(), i + 1);
    }
    std::vector<void*> seen = Walk(list);
    ASSERT_EQ(seen.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(seen[i], &g_items[i]);
    EXPECT_EQ(CountBlocks(list), 34); // 100 nodes in blocks of 3
}

TEST(PointerList, FindIndexIsZeroBasedAndNullOutsideTheList) {
    CPtrList list(10);
    for (int i = 0; i < 5; ++i)
        list.AddTail(&g_items[i]);
    for (int i = 0; i < 5; ++i) {
        POSITION pos = list.FindIndex(i);
        ASSERT_NE(pos, nullptr);
        EXPECT_EQ(list.GetAt(pos), &g_items[i]);
    }
    EXPECT_EQ(list.FindIndex(5), nullptr);
    EXPECT_EQ(list.FindIndex(1000), nullptr);
    EXPECT_EQ(list.FindIndex(-1), nullptr);
}

TEST(PointerList, NullElementsAreOrdinaryElements) {
    CPtrList list(2);
    list.AddTail(nullptr);
    list.AddTail(&g_items[0]);
    list.AddTail(nullptr);
    EXPECT_EQ(list.GetCount(), 3);
    EXPECT_EQ(Walk(list), (std::vector<void*>{nullptr, &g_items[0], nullptr}));
}

TEST(PointerList, RemoveAllDropsNodesButNotElements) {
    CPtrList list(4);
    std::vector<int*> owned;
    for (int i = 0; i < 9; ++i) {
        owned.push_back(new int(i));
        list.AddTail(owned.back());
    }
    list.RemoveAll();
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetHeadPosition(), nullptr);
    EXPECT_EQ(CountBlocks(list), 0);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(*owned[i], i); // still ours, still alive
        delete owned[i];
    }
    list.AddTail(&g_items[7]);
    EXPECT_EQ(Walk(list), (std::vector<void*>{&g_items[7]}));
}

TEST(PointerList, RemovedNodesAreReusedWithoutNewBlocks) {
    CPtrList list(4);
    for (int i = 0; i < 8; ++i)
        list.AddTail(&g_items[i]);
    ASSERT_EQ(CountBlocks(list), 2);
    list.RemoveAt(list.FindIndex(0)); // head
    list.RemoveAt(list.FindIndex(6)); // tail
    list.RemoveAt(list.FindIndex(2)); // middle
    EXPECT_EQ(list.GetCount(), 5);
    EXPECT_EQ(Walk(list), (std::vector<void*>{&g_items[1], &g_items[2], &g_items[4], &g_items[5],
                                              &g_items[6]}));
    for (int i = 0; i < 3; ++i)
        list.AddTail(&g_items[20 + i]);
    EXPECT_EQ(list.GetCount(), 8);
    EXPECT_EQ(CountBlocks(list), 2);
    list.AddTail(&g_items[30]);
    EXPECT_EQ(CountBlocks(list), 3);
    // Removing the last element returns every block.
    while (!list.IsEmpty())
        list.RemoveAt(list.GetHeadPosition());
    EXPECT_EQ(CountBlocks(list), 0);
    EXPECT_EQ(list.GetHeadPosition(), nullptr);
}

TEST(PointerList, NonPositiveBlockSizeStillWorks) {
    CPtrList list(0);
    for (int i = 0; i < 3; ++i)
        list.AddTail(&g_items[i]);
    EXPECT_EQ(Walk(list).size(), 3u);
    EXPECT_EQ(CountBlocks(list), 3);
}

// Walks the list by its byte layout alone, as a host compiled by another compiler does.
TEST(PointerList, ByteLayoutMatchesTheHostContract) {
    EXPECT_EQ(sizeof(CPtrList), At(kListSize));
    CPtrList list(10);
    for (int i = 0; i < 25; ++i)
        list.AddTail(&g_items[i]);

    // The two numbers first: where one of them is read as a link, the walks below cannot be.
    ASSERT_EQ(Field<std::int32_t>(&list, At(kCount)), 25);
    ASSERT_EQ(Field<std::int32_t>(&list, At(kBlockSize)), 10);
    EXPECT_NE(Field<const void*>(&list, 0), nullptr); // virtual table
    EXPECT_EQ(ChainLength(Field<const void*>(&list, At(kFreeChain)), kNodeNext), 5);
    EXPECT_EQ(CountBlocks(list), 3);

    const void* head = Field<const void*>(&list, At(kHead));
    const void* tail = Field<const void*>(&list, At(kTail));
    EXPECT_EQ(Field<const void*>(head, At(kNodePrev)), nullptr);
    EXPECT_EQ(Field<const void*>(tail, At(kNodeNext)), nullptr);
    EXPECT_EQ(Field<const void*>(tail, At(kNodeData)), &g_items[24]);

    int i = 0;
    const void* prev = nullptr;
    for (const void* node = head; node != nullptr;
         node = Field<const void*>(node, At(kNodeNext)), ++i) {
        EXPECT_EQ(Field<const void*>(node, At(kNodeData)), &g_items[i]);
        EXPECT_EQ(Field<const void*>(node, At(kNodePrev)), prev);
        prev = node;
    }
    EXPECT_EQ(i, 25);
    EXPECT_EQ(prev, tail);
}

} // namespace
