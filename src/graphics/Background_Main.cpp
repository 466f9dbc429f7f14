// Backgrounds added, replaced and deleted at run time.
#include "graphics/Background_Main.h"

namespace kelvane {

int32_t background_add(Game& game, CDrawables& images, const std::string& path, bool transparent,
                       bool videomem, bool loadonuse) {
    auto background = std::make_unique<CBackground>();
    if (!background->load_from_file(path, transparent, videomem, loadonuse)) return -1;
    const int32_t id = game.backgrounds.count();
    CBackground* b = background.get();
    game.backgrounds.add("__newbackground" + std::to_string(id), std::move(background));
    images.build_background(id, b);
    b->image.reset();
    return id;
}

bool background_replace(Game& game, CDrawables& images, int32_t id, const std::string& path,
                        bool transparent, bool videomem, bool loadonuse) {
    if (id < 0 || id >= game.backgrounds.count()) return false;
    if (!game.backgrounds.exists(id))
        game.backgrounds.set(id, game.backgrounds.stored_name(id), std::make_unique<CBackground>());
    CBackground* b = game.backgrounds.get(id);
    bool ok = b->load_from_file(path, transparent, videomem, loadonuse);
    if (ok) images.build_background(id, b);
    b->image.reset();
    return ok;
}

bool background_delete(Game& game, CDrawables& images, int32_t id) {
    if (!game.backgrounds.exists(id)) return false;
    images.free_background(id);
    game.backgrounds.remove(id);
    return true;
}

} // namespace kelvane
