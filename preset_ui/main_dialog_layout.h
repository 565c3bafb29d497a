// The main dialog's layout, with no window: its client sizes in dialog units and the anchor
// flags of the controls it registers.
#pragma once

#include "anchor_layout.h"

namespace main_dialog {

// The template's own client size, which the design rectangles of the controls belong to, and
// the smallest client the user can drag the window to: as wide as the template, 20 units lower.
constexpr int kReferenceWidth = 288;
constexpr int kReferenceHeight = 161;
constexpr int kMinTrackWidth = 288;
constexpr int kMinTrackHeight = 141;

// Load, Save To, Delete and Backup All keep their size and move with the right edge.
constexpr std::uint32_t kUpperButtonAnchors =
    ANCHOR_RIGHT | ANCHOR_TOP | ANCHOR_KEEP_HEIGHT_TOP | ANCHOR_KEEP_WIDTH_RIGHT;
// About and Close keep their size and move with the bottom-right corner.
constexpr std::uint32_t kLowerButtonAnchors =
    ANCHOR_BOTTOM | ANCHOR_RIGHT | ANCHOR_KEEP_HEIGHT_BOTTOM | ANCHOR_KEEP_WIDTH_RIGHT;
// The effect list grows in height only; its right edge stays where it is.
constexpr std::uint32_t kEffectListAnchors =
    ANCHOR_BOTTOM | ANCHOR_TOP | ANCHOR_NO_RULE | ANCHOR_KEEP_WIDTH_RIGHT;
// The preset list grows both ways.
constexpr std::uint32_t kPresetListAnchors =
    ANCHOR_BOTTOM | ANCHOR_RIGHT | ANCHOR_TOP | ANCHOR_LEFT;
// The Preset label never moves.
constexpr std::uint32_t kPresetLabelAnchors =
    ANCHOR_LEFT | ANCHOR_NO_RULE | ANCHOR_KEEP_HEIGHT_TOP | ANCHOR_KEEP_HEIGHT_BOTTOM;

} // namespace main_dialog
