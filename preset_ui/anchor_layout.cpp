#include "anchor_layout.h"

namespace {

constexpr std::uint32_t kScaleTopFlags = ANCHOR_SCALE_VERTICAL | ANCHOR_SCALE_TOP;
constexpr std::uint32_t kScaleBottomFlags = ANCHOR_SCALE_VERTICAL | ANCHOR_SCALE_BOTTOM;

// value * height / referenceHeight in 32-bit arithmetic truncating toward zero. The product
// wraps as a 32-bit product would; the caller has made sure the divisor is not zero.
std::int32_t Scale(std::int32_t value, std::int32_t height, std::int32_t referenceHeight) {
    std::uint32_t product = static_cast<std::uint32_t>(value) * static_cast<std::uint32_t>(height);
    std::int64_t wrapped = static_cast<std::int32_t>(product);
    return static_cast<std::int32_t>(wrapped / referenceHeight);
}

} // namespace

LayoutRect ComputeLayout(const LayoutRect& design, const LayoutRect& current,
                         const LayoutRect& client, const LayoutRect& reference,
                         std::uint32_t flags) {
    LayoutRect n = current;
    const std::int32_t height = client.bottom - client.top;
    const std::int32_t referenceHeight = reference.bottom - reference.top;

    // Proportional rules for the vertical edges. Without a reference height there is nothing
    // to scale against, and those edges keep their places.
    if ((flags & kAnchorScaleFlags) != 0 && referenceHeight != 0) {
        if ((flags & kScaleTopFlags) != 0)
            n.top = Scale(design.top, height, referenceHeight);
        if ((flags & kScaleBottomFlags) != 0)
            n.bottom = Scale(design.bottom, height, referenceHeight);
    }

    if ((flags & kAnchorEdgeFlags) == 0)
        return n;

    const std::int32_t followRight = design.right - reference.right + client.right;
    const std::int32_t followBottom = design.bottom - reference.bottom + client.bottom;
    if ((flags & ANCHOR_STRETCH) != 0) {
        n.left = design.left;
        n.top = design.top;
        n.right = followRight;
        n.bottom = followBottom;
    } else {
        if ((flags & ANCHOR_LEFT) != 0)
            n.left = design.left;
        if ((flags & ANCHOR_RIGHT) != 0)
            n.right = followRight;
        if ((flags & ANCHOR_TOP) != 0)
            n.top = design.top;
        if ((flags & ANCHOR_BOTTOM) != 0)
            n.bottom = followBottom;
    }

    // The size rules run only together with an edge rule, each on the edges the previous one
    // left.
    if ((flags & kAnchorKeepSizeFlags) != 0) {
        const std::int32_t width = design.right - design.left;
        const std::int32_t designHeight = design.bottom - design.top;
        if ((flags & ANCHOR_KEEP_WIDTH_RIGHT) != 0)
            n.left = n.right - width;
        if ((flags & ANCHOR_KEEP_WIDTH_LEFT) != 0)
            n.right = n.left + width;
        if ((flags & ANCHOR_KEEP_HEIGHT_TOP) != 0)
            n.bottom = n.top + designHeight;
        if ((flags & ANCHOR_KEEP_HEIGHT_BOTTOM) != 0)
            n.top = n.bottom - designHeight;
    }
    return n;
}
