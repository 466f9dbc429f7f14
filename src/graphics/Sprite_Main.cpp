// Sprites added, replaced and deleted at run time.
#include "graphics/Sprite_Main.h"

namespace kelvane {

int32_t sprite_add(Game& game, CDrawables& images, const std::string& path, int32_t imgnumb,
                   bool precise, bool transparent, bool videomem, bool loadonuse, int32_t xorig,
                   int32_t yorig) {
    auto sprite = std::make_unique<CSprite>();
    if (!sprite->load_from_file(path, imgnumb, precise, transparent, videomem, loadonuse, xorig,
                                yorig))
        return -1;
    const int32_t id = game.sprites.count();
    CSprite* s = sprite.get();
    game.sprites.add("__newsprite" + std::to_string(id), std::move(sprite));
    images.build_sprite(id, s);
    if (images.mask_hook) images.mask_hook(id, s);
    s->frames.clear();
    return id;
}

bool sprite_replace(Game& game, CDrawables& images, int32_t id, const std::string& path,
                    int32_t imgnumb, bool precise, bool transparent, bool videomem, bool loadonuse,
                    int32_t xorig, int32_t yorig) {
    if (id < 0 || id >= game.sprites.count()) return false;
    if (!game.sprites.exists(id))
        game.sprites.set(id, game.sprites.stored_name(id), std::make_unique<CSprite>());
    CSprite* s = game.sprites.get(id);
    bool ok =
        s->load_from_file(path, imgnumb, precise, transparent, videomem, loadonuse, xorig, yorig);
    if (ok) {
        images.build_sprite(id, s);
        if (images.mask_hook) images.mask_hook(id, s);
    }
    s->frames.clear();
    return ok;
}

bool sprite_delete(Game& game, CDrawables& images, int32_t id) {
    if (!game.sprites.exists(id)) return false;
    images.free_sprite(id);
    if (images.mask_hook) images.mask_hook(id, nullptr);
    game.sprites.remove(id);
    return true;
}

void release_resource_images(Game& game) {
    for (int32_t i = 0; i < game.backgrounds.count(); ++i)
        if (CBackground* b = game.backgrounds.get(i)) b->image.reset(), b->strip.reset();
    for (int32_t i = 0; i < game.sprites.count(); ++i)
        if (CSprite* s = game.sprites.get(i)) s->frames.clear(), s->strip.reset();
}

} // namespace kelvane
