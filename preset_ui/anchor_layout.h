// The anchoring rules of the resizable dialog: where a registered control goes for a given
// client rectangle. Pure arithmetic on four rectangles and a flag word, with no window.
#pragma once

#include <cstdint>

enum AnchorFlags : std::uint32_t {
    ANCHOR_KEEP_WIDTH_RIGHT = 0x0002,
    ANCHOR_KEEP_HEIGHT_BOTTOM = 0x0004,
    ANCHOR_KEEP_WIDTH_LEFT = 0x0008,
    ANCHOR_KEEP_HEIGHT_TOP = 0x0010,
    ANCHOR_SCALE_VERTICAL = 0x0040,
    ANCHOR_SCALE_TOP = 0x0080,
    ANCHOR_SCALE_BOTTOM = 0x0400,
    ANCHOR_STRETCH = 0x0800,
    ANCHOR_LEFT = 0x1000,
    ANCHOR_TOP = 0x2000,
    ANCHOR_RIGHT = 0x4000,
    ANCHOR_BOTTOM = 0x8000,
};

struct LayoutRect {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};

inline bool operator==(const LayoutRect& a, const LayoutRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline bool operator!=(const LayoutRect& a, const LayoutRect& b) {
    return !(a == b);
}

// The new rectangle of a control.
//   design:    the control's rectangle at registration, in the dialog's client coordinates
//   current:   its window rectangle now, in the same coordinates
//   client:    the client rectangle the pass lays out for
//   reference: (0, 0, width, height) of the client area the design rectangles belong to
// Every rule starts from the design and reference rectangles; an edge that no rule sets keeps
// its current position.
LayoutRect ComputeLayout(const LayoutRect& design, const LayoutRect& current,
                         const LayoutRect& client, const LayoutRect& reference,
                         std::uint32_t flags);
