// What the colour, file and folder choosers share: their font, push buttons with a
// caption, and labels.
#pragma once

#include <string>

#include "graphics/Form_Widgets.h"

namespace kelvane {

// Arial at 12 pixels, black.
RCanvasFont chooser_font();

// A push button with a centred caption; true when it was clicked. The default button (the
// one Enter presses) has a dark outline.
bool push_button(CUi& ui, const RRect& r, const std::string& caption, bool is_default = false);

// One line of text at the left of `r`.
void label(CUi& ui, const RRect& r, const std::string& text);

} // namespace kelvane
