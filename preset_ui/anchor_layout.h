// The anchoring rules of the resizable dialog: where a registered control goes for a given
// client rectangle. Pure arithmetic on four rectangles and a flag word, with no window.
#pragma once

#include <cstdint>

// The rules of one registered control, combined in a flag word. The pass runs three steps in
// this order: scaling (the proportional rules for the vertical edges), the edge rules, and the
// size rules, which run only together with an edge rule.
enum AnchorFlags : std::uint32_t {
    // Size rules: keep the design width or height from the edge that the edge step set.
    ANCHOR_KEEP_WIDTH_RIGHT = 0x0002,   // left = right - design width
    ANCHOR_KEEP_HEIGHT_BOTTOM = 0x0004, // top = bottom - design height
    ANCHOR_KEEP_WIDTH_LEFT = 0x0008,    // right = left + design width
    ANCHOR_KEEP_HEIGHT_TOP = 0x0010,    // bottom = top + design height
    // Scaling rules: the design edge times client height / reference height.
    ANCHOR_SCALE_VERTICAL = 0x0040, // top and bottom
    ANCHOR_SCALE_TOP = 0x0080,
    // A bit without a rule. The flag words of the effect list and the Preset label carry it as
    // they have always been stored; no step reads it, so it changes nothing.
    ANCHOR_NO_RULE = 0x0200,
    ANCHOR_SCALE_BOTTOM = 0x0400,
    // Edge rules: an edge at its design place, or following the client's edge at its design
    // distance. Stretch sets all four and the single rules are then not consulted.
    ANCHOR_STRETCH = 0x0800,
    ANCHOR_LEFT = 0x1000,
    ANCHOR_TOP = 0x2000,
    ANCHOR_RIGHT = 0x4000,
    ANCHOR_BOTTOM = 0x8000,
};

// The flags of each step.
constexpr std::uint32_t kAnchorScaleFlags =
    ANCHOR_SCALE_VERTICAL | ANCHOR_SCALE_TOP | ANCHOR_SCALE_BOTTOM;
constexpr std::uint32_t kAnchorEdgeFlags =
    ANCHOR_STRETCH | ANCHOR_LEFT | ANCHOR_TOP | ANCHOR_RIGHT | ANCHOR_BOTTOM;
constexpr std::uint32_t kAnchorKeepSizeFlags = ANCHOR_KEEP_WIDTH_RIGHT | ANCHOR_KEEP_HEIGHT_BOTTOM |
                                               ANCHOR_KEEP_WIDTH_LEFT | ANCHOR_KEEP_HEIGHT_TOP;

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
