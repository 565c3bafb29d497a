#include "pointer_list.h"

#include <new>

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
#endif
// The class is not standard-layout (it has a virtual table), but it has no virtual bases, so
// offsetof is exact for it with the compilers we use.
void PointerListLayout::Check() {
    static_assert(offsetof(CPtrList, m_pNodeHead) == kHead, "head");
    static_assert(offsetof(CPtrList, m_pNodeTail) == kTail, "tail");
    static_assert(offsetof(CPtrList, m_nCount) == kCount, "count");
    static_assert(offsetof(CPtrList, m_pNodeFree) == kFreeChain, "free chain");
    static_assert(offsetof(CPtrList, m_pBlocks) == kBlockChain, "block chain");
    static_assert(offsetof(CPtrList, m_nBlockSize) == kBlockSize, "block size");
    static_assert(offsetof(CPtrList::CNode, pNext) == kNodeNext, "node next");
    static_assert(offsetof(CPtrList::CNode, pPrev) == kNodePrev, "node previous");
    static_assert(offsetof(CPtrList::CNode, data) == kNodeData, "node data");
    static_assert(sizeof(CPtrList::CNode) == kNodeSize, "node size");
#if defined(_WIN32) && !defined(_WIN64)
    static_assert(sizeof(CPtrList) == 28, "the host's lists are 28 bytes");
    static_assert(sizeof(CPtrList::CNode) == 12, "the host's nodes are 12 bytes");
#endif
    static_assert(sizeof(CPtrList) == kSize, "size");
}
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

CPtrList::CPtrList(int blockSize)
    : m_pNodeHead(nullptr), m_pNodeTail(nullptr), m_nCount(0), m_pNodeFree(nullptr),
      m_pBlocks(nullptr), m_nBlockSize(blockSize > 0 ? blockSize : 1) {}

CPtrList::~CPtrList() {
    RemoveAll();
}

void* CPtrList::GetNext(POSITION& pos) const {
    CNode* node = reinterpret_cast<CNode*>(pos);
    pos = reinterpret_cast<POSITION>(node->pNext);
    return node->data;
}

void* CPtrList::GetAt(POSITION pos) const {
    return reinterpret_cast<CNode*>(pos)->data;
}

CPtrList::CNode* CPtrList::NewNode(CNode* prev, CNode* next) {
    if (m_pNodeFree == nullptr) {
        void* raw = ::operator new(
            sizeof(CBlock) + static_cast<std::size_t>(m_nBlockSize) * sizeof(CNode), std::nothrow);
        if (raw == nullptr)
            return nullptr;
        CBlock* block = static_cast<CBlock*>(raw);
        block->pNext = m_pBlocks;
        m_pBlocks = block;
        // Chain the new nodes so that the first node of the block is handed out first.
        CNode* node = block->nodes() + m_nBlockSize - 1;
        for (int i = m_nBlockSize - 1; i >= 0; --i, --node) {
            node->pNext = m_pNodeFree;
            m_pNodeFree = node;
        }
    }
    CNode* node = m_pNodeFree;
    m_pNodeFree = node->pNext;
    node->pPrev = prev;
    node->pNext = next;
    node->data = nullptr;
    ++m_nCount;
    return node;
}

void CPtrList::FreeNode(CNode* node) {
    node->pNext = m_pNodeFree;
    m_pNodeFree = node;
    --m_nCount;
    if (m_nCount == 0)
        RemoveAll();
}

POSITION CPtrList::AddTail(void* element) {
    CNode* node = NewNode(m_pNodeTail, nullptr);
    if (node == nullptr)
        return nullptr;
    node->data = element;
    if (m_pNodeTail != nullptr)
        m_pNodeTail->pNext = node;
    else
        m_pNodeHead = node;
    m_pNodeTail = node;
    return reinterpret_cast<POSITION>(node);
}

void CPtrList::RemoveAll() {
    CBlock* block = m_pBlocks;
    while (block != nullptr) {
        CBlock* next = block->pNext;
        ::operator delete(block);
        block = next;
    }
    m_pBlocks = nullptr;
    m_pNodeHead = m_pNodeTail = m_pNodeFree = nullptr;
    m_nCount = 0;
}

void CPtrList::RemoveAt(POSITION pos) {
    CNode* node = reinterpret_cast<CNode*>(pos);
    if (node == nullptr)
        return;
    if (node == m_pNodeHead)
        m_pNodeHead = node->pNext;
    else
        node->pPrev->pNext = node->pNext;
    if (node == m_pNodeTail)
        m_pNodeTail = node->pPrev;
    else
        node->pNext->pPrev = node->pPrev;
    FreeNode(node);
}

POSITION CPtrList::FindIndex(int index) const {
    if (index < 0 || index >= m_nCount)
        return nullptr;
    CNode* node = m_pNodeHead;
    while (index-- > 0)
        node = node->pNext;
    return reinterpret_cast<POSITION>(node);
}
