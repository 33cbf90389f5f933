// layout_calc.h - where the main window's controls go when its client area is resized.
#ifndef TOLVIK_LAYOUT_CALC_H
#define TOLVIK_LAYOUT_CALC_H

#include "base/dpi.h"

#include <array>
#include <cstddef>

// Current state the layout depends on (client coordinates, pixels).
struct LayoutInput {
    int width;                  // new client width (may be 0 or negative while collapsed)
    int height;                 // new client height
    int status_left;            // status line's current left edge
    int send_width;             // Send button's client width
    int sender_top;             // Sender button's top
    int sender_height;          // Sender button's height
    int recipient_height;       // recipient combo box's current client height
    int sent_messages_height;   // sent-messages combo box's current client height
    int dpi = 96;               // the screen's dots per inch: the margins below scale with it
};

// One SetWindowPos step: move and/or size control `id`; x/y are meaningful only when move is
// set, cx/cy only when size is set (the unused pair is zero). Sizes are never negative.
struct LayoutStep {
    int id;
    bool move;
    bool size;
    int x, y;
    int cx, cy;
};

constexpr std::size_t kLayoutSteps = 10;

// The ten steps in the order they are applied: message edit, recipient box, sent-messages box,
// status line, send log, Send button, incoming list, Sender button, Receiver button, mode frame.
// Halves truncate toward zero; negative extents clamp to 0; results saturate at the int range.
// The margins are pixels at 96 dpi, scaled to in.dpi.
std::array<LayoutStep, kLayoutSteps> compute_layout(const LayoutInput &in);

#endif
