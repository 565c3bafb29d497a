// The anchoring arithmetic, case by case, with no window.
#include "anchor_layout.h"
#include "main_dialog_layout.h"

#include <gtest/gtest.h>

#include <ostream>

static std::ostream& operator<<(std::ostream& out, const LayoutRect& r) {
    return out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

namespace {

// A reference client of 400 x 262 pixels, a design rectangle inside it, and a current
// rectangle elsewhere, so that an edge no rule sets is seen to keep its current place.
const LayoutRect kReference = {0, 0, 400, 262};
const LayoutRect kDesign = {20, 25, 120, 75};
const LayoutRect kCurrent = {3, 4, 5, 6};
const LayoutRect kGrown = {0, 0, 500, 312}; // 100 wider, 50 taller

// The main dialog's flag words keep the values they have always been stored with.
using namespace main_dialog;
static_assert(kUpperButtonAnchors == 0x6012 && kLowerButtonAnchors == 0xC006 &&
              kEffectListAnchors == 0xA202 && kPresetListAnchors == 0xF000 &&
              kPresetLabelAnchors == 0x1214);

LayoutRect Layout(std::uint32_t flags, const LayoutRect& client = kGrown) {
    return ComputeLayout(kDesign, kCurrent, client, kReference, flags);
}

TEST(AnchorLayout, FlagsWithoutAnEdgeRuleLeaveTheControlWhereItIs) {
    // The bits without a rule: three without a name, and ANCHOR_NO_RULE.
    const std::uint32_t kUnnamed[] = {0x0001u, 0x0020u, 0x0100u};
    for (std::uint32_t flags :
         {0u, kUnnamed[0], kUnnamed[1], kUnnamed[2], std::uint32_t{ANCHOR_NO_RULE},
          kUnnamed[0] | kUnnamed[1] | kUnnamed[2] | ANCHOR_NO_RULE,
          // keep-size bits alone: the size step only runs with an edge
          std::uint32_t{ANCHOR_KEEP_WIDTH_RIGHT}, std::uint32_t{ANCHOR_KEEP_HEIGHT_BOTTOM},
          std::uint32_t{ANCHOR_KEEP_WIDTH_LEFT}, std::uint32_t{ANCHOR_KEEP_HEIGHT_TOP},
          kAnchorKeepSizeFlags | kUnnamed[0]})
        EXPECT_EQ(Layout(flags), kCurrent) << "flags " << std::hex << flags;
}

TEST(AnchorLayout, SingleEdgeRulesSetOnlyTheirEdge) {
    struct Case {
        std::uint32_t flags;
        LayoutRect expected;
    } cases[] = {
        {ANCHOR_LEFT, {20, 4, 5, 6}},
        {ANCHOR_TOP, {3, 25, 5, 6}},
        {ANCHOR_RIGHT, {3, 4, 220, 6}},
        {ANCHOR_BOTTOM, {3, 4, 5, 125}},
        {ANCHOR_LEFT | ANCHOR_TOP | ANCHOR_RIGHT | ANCHOR_BOTTOM, {20, 25, 220, 125}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Layout(c.flags), c.expected) << "flags " << std::hex << c.flags;
}

TEST(AnchorLayout, StretchOverridesTheSingleEdgeRules) {
    const LayoutRect stretch = Layout(ANCHOR_STRETCH);
    EXPECT_EQ(stretch, (LayoutRect{20, 25, 220, 125}));
    const std::uint32_t kAllEdges = ANCHOR_LEFT | ANCHOR_TOP | ANCHOR_RIGHT | ANCHOR_BOTTOM;
    for (std::uint32_t extra :
         {std::uint32_t{ANCHOR_LEFT}, std::uint32_t{ANCHOR_TOP}, std::uint32_t{ANCHOR_RIGHT},
          std::uint32_t{ANCHOR_BOTTOM}, kAllEdges, ANCHOR_LEFT | ANCHOR_RIGHT})
        EXPECT_EQ(Layout(ANCHOR_STRETCH | extra), stretch) << std::hex << extra;
}

TEST(AnchorLayout, KeepSizeRulesWorkFromTheEdgesBeforeThem) {
    // Right-anchored, keeping the design width: moves right by the growth.
    EXPECT_EQ(Layout(ANCHOR_RIGHT | ANCHOR_KEEP_WIDTH_RIGHT), (LayoutRect{120, 4, 220, 6}));
    // Left-anchored, keeping the width from the left edge.
    EXPECT_EQ(Layout(ANCHOR_LEFT | ANCHOR_KEEP_WIDTH_LEFT), (LayoutRect{20, 4, 120, 6}));
    // Bottom-anchored, keeping the height.
    EXPECT_EQ(Layout(ANCHOR_BOTTOM | ANCHOR_KEEP_HEIGHT_BOTTOM), (LayoutRect{3, 75, 5, 125}));
    // Both vertical keep rules and no vertical edge rule: current top, design height.
    EXPECT_EQ(Layout(ANCHOR_LEFT | ANCHOR_KEEP_HEIGHT_TOP | ANCHOR_KEEP_HEIGHT_BOTTOM),
              (LayoutRect{20, 4, 5, 54}));
    // Both horizontal keep rules and no horizontal edge rule: current right, design width.
    EXPECT_EQ(Layout(ANCHOR_TOP | ANCHOR_KEEP_WIDTH_RIGHT | ANCHOR_KEEP_WIDTH_LEFT),
              (LayoutRect{-95, 25, 5, 6}));
}

TEST(AnchorLayout, ScalingRunsBeforeTheEdgeRules) {
    const LayoutRect tall = {0, 0, 400, 393};
    // 25 * 393 / 262 = 37.5, truncated.
    EXPECT_EQ(Layout(ANCHOR_SCALE_TOP, tall), (LayoutRect{3, 37, 5, 6}));
    EXPECT_EQ(Layout(ANCHOR_SCALE_BOTTOM, tall), (LayoutRect{3, 4, 5, 112}));
    EXPECT_EQ(Layout(ANCHOR_SCALE_VERTICAL, tall), (LayoutRect{3, 37, 5, 112}));
    // The edge step comes second: the top goes back to its design place.
    EXPECT_EQ(Layout(ANCHOR_SCALE_VERTICAL | ANCHOR_TOP, tall), (LayoutRect{3, 25, 5, 112}));
    // Negative products truncate toward zero as well: -25 * 393 / 262 = -37.5 -> -37.
    LayoutRect above = {0, -25, 10, 10};
    EXPECT_EQ(ComputeLayout(above, kCurrent, tall, kReference, ANCHOR_SCALE_TOP).top, -37);
}

TEST(AnchorLayout, ScalingWithoutAReferenceHeightLeavesTheEdges) {
    const LayoutRect noReference = {0, 0, 0, 0};
    EXPECT_EQ(ComputeLayout(kDesign, kCurrent, kGrown, noReference, ANCHOR_SCALE_VERTICAL),
              kCurrent);
}

TEST(AnchorLayout, AtTheReferenceSizeTheRulesGiveTheDesignEdges) {
    for (std::uint32_t flags :
         {kUpperButtonAnchors, kLowerButtonAnchors, kPresetListAnchors,
          std::uint32_t{ANCHOR_STRETCH},
          ANCHOR_BOTTOM | ANCHOR_LEFT | ANCHOR_KEEP_WIDTH_LEFT | ANCHOR_KEEP_HEIGHT_BOTTOM,
          kPresetListAnchors | kAnchorKeepSizeFlags | 0x0001u})
        EXPECT_EQ(Layout(flags, kReference), kDesign) << std::hex << flags;
}

// The main dialog's registrations, at a client 100 pixels wider and 50 taller.
TEST(AnchorLayout, MainDialogRegistrations) {
    const LayoutRect button = {400, 30, 480, 50};
    EXPECT_EQ(ComputeLayout(button, button, kGrown, kReference, kUpperButtonAnchors),
              (LayoutRect{500, 30, 580, 50}));
    EXPECT_EQ(ComputeLayout(button, button, kGrown, kReference, kLowerButtonAnchors),
              (LayoutRect{500, 80, 580, 100}));
    const LayoutRect list = {10, 25, 200, 250};
    EXPECT_EQ(ComputeLayout(list, list, kGrown, kReference, kPresetListAnchors),
              (LayoutRect{10, 25, 300, 300}));
    // The effect list: right edge where it is, design width, height follows the bottom.
    EXPECT_EQ(ComputeLayout(list, list, kGrown, kReference, kEffectListAnchors),
              (LayoutRect{10, 25, 200, 300}));
    // The Preset label stays put whatever the size.
    const LayoutRect label = {220, 10, 370, 23};
    for (const LayoutRect& client : {kGrown, kReference, LayoutRect{0, 0, 0, 0}})
        EXPECT_EQ(ComputeLayout(label, label, client, kReference, kPresetLabelAnchors), label);
}

TEST(AnchorLayout, AnEmptyClientGivesDegenerateRectanglesAndRestoringPutsThemBack) {
    const LayoutRect empty = {0, 0, 0, 0};
    const LayoutRect list = {10, 25, 200, 250};
    LayoutRect minimised = ComputeLayout(list, list, empty, kReference, kPresetListAnchors);
    EXPECT_LT(minimised.right - minimised.left, 0);
    EXPECT_LT(minimised.bottom - minimised.top, 0);
    // The next pass starts from the design rectangle, not from the degenerate one.
    EXPECT_EQ(ComputeLayout(list, minimised, kReference, kReference, kPresetListAnchors), list);
}

} // namespace
