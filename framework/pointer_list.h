// The framework's pointer list: a doubly linked list of untyped pointers whose nodes come from
// blocks of a fixed number of nodes and are reused through a free chain.
//
// The memory layout is fixed, because the host builds lists of this class on its side
// and hands them to the wave plug-in: 28 bytes on 32-bit Windows, in this order: virtual table
// pointer, head node, tail node, count, free-node chain, block chain, block size. A node is
// next, previous, data. Code compiled elsewhere walks a list by that layout alone.
#pragma once

#include <cstddef>

struct PositionTag {};
typedef PositionTag* POSITION;

class CPtrList {
public:
    explicit CPtrList(int blockSize = 10);
    virtual ~CPtrList();

    CPtrList(const CPtrList&) = delete;
    CPtrList& operator=(const CPtrList&) = delete;

    int GetCount() const { return m_nCount; }
    bool IsEmpty() const { return m_nCount == 0; }

    // Walking: pos = GetHeadPosition(); while (pos) { void* p = GetNext(pos); ... }
    POSITION GetHeadPosition() const { return reinterpret_cast<POSITION>(m_pNodeHead); }
    void* GetNext(POSITION& pos) const;
    void* GetAt(POSITION pos) const;

    // Appends an element; returns its position, or null when no memory can be had (the list
    // is then unchanged).
    POSITION AddTail(void* element);
    // Drops every node and returns the blocks; the elements themselves are never freed.
    void RemoveAll();
    // Unlinks one node; its slot goes back to the free chain for the next AddTail.
    void RemoveAt(POSITION pos);
    // The node at a 0-based index, or null when the index is negative or past the end.
    POSITION FindIndex(int index) const;

protected:
    struct CNode {
        CNode* pNext;
        CNode* pPrev;
        void* data;
    };
    // A block of nodes: the link to the next block, followed by the nodes.
    struct CBlock {
        CBlock* pNext;
        CNode* nodes() { return reinterpret_cast<CNode*>(this + 1); }
    };

    CNode* NewNode(CNode* prev, CNode* next);
    void FreeNode(CNode* node);

    CNode* m_pNodeHead;
    CNode* m_pNodeTail;
    int m_nCount;
    CNode* m_pNodeFree;
    CBlock* m_pBlocks;
    int m_nBlockSize;

    friend struct PointerListLayout;
};

// Byte offsets of the layout, for code that checks or walks a list without the class.
struct PointerListLayout {
    static constexpr std::size_t kSize = 7 * sizeof(void*);
    static constexpr std::size_t kHead = 1 * sizeof(void*);
    static constexpr std::size_t kTail = 2 * sizeof(void*);
    static constexpr std::size_t kCount = 3 * sizeof(void*);
    static constexpr std::size_t kFreeChain = 4 * sizeof(void*);
    static constexpr std::size_t kBlockChain = 5 * sizeof(void*);
    static constexpr std::size_t kBlockSize = 6 * sizeof(void*);
    static constexpr std::size_t kNodeNext = 0;
    static constexpr std::size_t kNodePrev = sizeof(void*);
    static constexpr std::size_t kNodeData = 2 * sizeof(void*);
    static constexpr std::size_t kNodeSize = 3 * sizeof(void*);

    // Holds the compile-time checks of the layout; never called.
    static void Check();
};
