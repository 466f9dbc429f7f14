// The controls the choosers share.
#include "functions/Chooser_Parts.h"

namespace kelvane {

RCanvasFont chooser_font() {
    RCanvasFont f;
    f.spec = {"Arial", -12, false, false};
    f.colour = 0;
    return f;
}

bool push_button(CUi& ui, const RRect& r, const std::string& caption, bool is_default) {
    bool clicked = false;
    const ButtonLook look = ui.button(ui_id(caption, 7), r, clicked);
    ui.fill(r, 0xC0C0C0);
    if (is_default) {
        ui.fill({r.left, r.top, r.right, r.top + 1}, 0);
        ui.fill({r.left, r.bottom - 1, r.right, r.bottom}, 0);
        ui.fill({r.left, r.top, r.left + 1, r.bottom}, 0);
        ui.fill({r.right - 1, r.top, r.right, r.bottom}, 0);
        ui.bevel({r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, look != look_pressed);
    } else {
        ui.bevel(r, look != look_pressed);
    }
    const int32_t d = look == look_pressed ? 1 : 0;
    ui.text({r.left + d, r.top + d, r.right + d, r.bottom + d}, caption, chooser_font(), 1, false);
    return clicked;
}

void label(CUi& ui, const RRect& r, const std::string& text) {
    ui.text(r, text, chooser_font(), 0, false);
}

} // namespace kelvane
