// The live side of a room the game plays in: its instances, the lists of them per object and
// per family, their order by depth, and a live copy made from a designed room.
#include "model/Room_Class.h"

#include <algorithm>

#include "run/Game.h"
#include "run/Instance_Class.h"

namespace kelvane {

CRoom::CRoom() = default;
CRoom::~CRoom() = default;
CRoom::CRoom(CRoom&&) noexcept = default;
CRoom& CRoom::operator=(CRoom&&) noexcept = default;

void CRoom::clear() {
    *this = CRoom();
}

CInstance* CRoom::adopt(std::unique_ptr<CInstance> inst) {
    inst->report_moves_to(&layout_changes);
    instances.push_back(std::move(inst));
    return instances.back().get();
}

CInstance* CRoom::add_instance(const Game& game, int32_t object, double x, double y, int32_t id) {
    CInstance* inst = adopt(std::make_unique<CInstance>(game, id, object, x, y));
    int32_t n = game.objects.count();
    if (object_lists.size() != size_t(n))
        rebuild_lists(game);
    else {
        if (object >= 0 && object < n) object_lists[size_t(object)].push_back(inst);
        // The walk up the parents stops at a missing object and at a cycle.
        for (int32_t a = object, steps = 0; a >= 0 && a < n && game.objects.exists(a) && steps <= n;
             a = game.objects.get(a)->parent, ++steps)
            ancestor_lists[size_t(a)].push_back(inst);
    }
    return inst;
}

namespace {
const std::vector<CInstance*> no_instances;
}

const std::vector<CInstance*>& CRoom::instances_of(int32_t o) const {
    return o >= 0 && size_t(o) < object_lists.size() ? object_lists[size_t(o)] : no_instances;
}

const std::vector<CInstance*>& CRoom::instances_of_family(int32_t o) const {
    return o >= 0 && size_t(o) < ancestor_lists.size() ? ancestor_lists[size_t(o)] : no_instances;
}

void CRoom::rebuild_lists(const Game& game) {
    int32_t n = std::max(0, game.objects.count());
    object_lists.assign(size_t(n), {});
    ancestor_lists.assign(size_t(n), {});
    for (const auto& p : instances) {
        CInstance* inst = p.get();
        int32_t object = inst->object_index;
        if (object >= 0 && object < n) object_lists[size_t(object)].push_back(inst);
        for (int32_t a = object, steps = 0; a >= 0 && a < n && game.objects.exists(a) && steps <= n;
             a = game.objects.get(a)->parent, ++steps)
            ancestor_lists[size_t(a)].push_back(inst);
    }
}

void CRoom::sort_by_depth() {
    for (size_t i = 1; i < instances.size(); ++i) {
        auto cur = std::move(instances[i]);
        size_t j = i;
        while (j > 0 && cur->depth > instances[j - 1]->depth) {
            instances[j] = std::move(instances[j - 1]);
            --j;
        }
        instances[j] = std::move(cur);
    }
}

void CRoom::purge(const Game& game) {
    bool any = false;
    for (const auto& p : instances) any = any || p->destroyed;
    if (!any) return;
    std::erase_if(instances, [](const std::unique_ptr<CInstance>& p) { return p->destroyed; });
    rebuild_lists(game);
}

void CRoom::copy_from(const CRoom& d, const Game& game) {
    clear();
    caption = d.caption;
    width = d.width;
    height = d.height;
    speed = d.speed;
    persistent = d.persistent;
    background_color = d.background_color;
    background_showcolor = d.background_showcolor;
    creation_code = d.creation_code;
    backgrounds = d.backgrounds;
    view_enabled = d.view_enabled;
    views = d.views;
    for (const auto& p : d.placed)
        adopt(std::make_unique<CInstance>(game, p.id, p.object, p.x, p.y));
    tiles = d.tiles;
    rebuild_lists(game);
}

} // namespace kelvane
