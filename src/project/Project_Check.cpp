// The checks `pack` makes before it writes a game.
#include "project/Project_Check.h"

#include <set>

#include "code/Code_Class.h"
#include "code/Code_Execute.h"
#include "code/Code_Main.h"
#include "platform/Text_Encoding.h"
#include "run/Runtime.h"

namespace kelvane {

namespace {

// "objects[3] (obj_player)", as the manifest reader names a record.
template <typename T>
std::string record(const char* list, const ResourceList<T>& resources, int32_t id) {
    return std::string(list) + "[" + std::to_string(id) + "] (" +
           cp1252_to_utf8(resources.stored_name(id)) + ")";
}

class Checker {
  public:
    explicit Checker(const Game& g) : g_(g) {}
    std::vector<RProjectProblem> problems;

    void add(std::string where, std::string message, bool in_code_file = false) {
        problems.push_back({std::move(where), std::move(message), in_code_file});
    }

    // A reference that may be -1 (none) or must name an existing resource.
    template <typename T>
    void ref(const std::string& where, int32_t id, const ResourceList<T>& list, const char* kind,
             bool none_allowed = true) {
        if ((none_allowed && id == -1) || list.exists(id)) return;
        add(where, "there is no " + std::string(kind) + " " + std::to_string(id));
    }

    void sprites() {
        for (int32_t i = 0; i < g_.sprites.count(); ++i) {
            const CSprite* s = g_.sprites.get(i);
            if (!s) continue;
            for (size_t k = 0; k < s->frames.size(); ++k) {
                const Bitmap24& f = s->frames[k];
                if (f.empty() || (f.width == s->width && f.height == s->height)) continue;
                add(record("sprites", g_.sprites, i) + ".frames[" + std::to_string(k) + "]",
                    "is " + std::to_string(f.width) + "x" + std::to_string(f.height) +
                        " pixels, but the sprite is " + std::to_string(s->width) + "x" +
                        std::to_string(s->height));
            }
        }
    }

    void objects() {
        for (int32_t i = 0; i < g_.objects.count(); ++i) {
            const CObject* o = g_.objects.get(i);
            if (!o) continue;
            const std::string at = record("objects", g_.objects, i);
            ref(at + ".sprite", o->sprite, g_.sprites, "sprite");
            ref(at + ".mask", o->mask, g_.sprites, "sprite");
            ref(at + ".parent", o->parent, g_.objects, "object");
            // A parent chain that comes back to an object would make every event of the
            // family look for its parent's forever.
            std::set<int32_t> seen{i};
            for (int32_t p = o->parent; g_.objects.exists(p); p = g_.objects.get(p)->parent)
                if (!seen.insert(p).second) {
                    add(at + ".parent",
                        "the parents come back to " + cp1252_to_utf8(g_.objects.stored_name(p)));
                    break;
                }
            for (int32_t t = 0; t < event_type_count; ++t)
                for (const auto& [number, e] : o->events[size_t(t)]) {
                    const std::string ev =
                        at + ".events (" + event_type_name(t) + " " + std::to_string(number) + ")";
                    if (t == ev_collision) ref(ev, number, g_.objects, "object", false);
                    for (size_t k = 0; k < e.actions.size(); ++k) {
                        int32_t to = e.actions[k].applies_to;
                        if (to != -1 && to != -2)
                            ref(ev + ".actions[" + std::to_string(k) + "].applies_to", to,
                                g_.objects, "object");
                    }
                }
        }
    }

    void rooms() {
        for (int32_t i = 0; i < g_.rooms.count(); ++i) {
            const CRoom* r = g_.rooms.get(i);
            if (!r) continue;
            const std::string at = record("rooms", g_.rooms, i);
            for (size_t k = 0; k < r->backgrounds.size(); ++k)
                ref(at + ".backgrounds[" + std::to_string(k) + "].index", r->backgrounds[k].index,
                    g_.backgrounds, "background");
            for (size_t k = 0; k < r->views.size(); ++k)
                ref(at + ".views[" + std::to_string(k) + "].object", r->views[k].object, g_.objects,
                    "object");
            for (size_t k = 0; k < r->placed.size(); ++k)
                ref(at + ".instances[" + std::to_string(k) + "].object", r->placed[k].object,
                    g_.objects, "object", false);
            for (size_t k = 0; k < r->tiles.size(); ++k)
                ref(at + ".tiles[" + std::to_string(k) + "].background", r->tiles[k].background,
                    g_.backgrounds, "background", false);
        }
    }

  private:
    const Game& g_;
};

// Line and column (from 1, in characters) of a 1-based position in a code text; lines
// end at line feeds, so that the figures match the code file.
std::pair<int32_t, int32_t> line_and_column(const std::string& text, int32_t position) {
    size_t at = position <= 0 ? text.size() : std::min(size_t(position - 1), text.size());
    int32_t line = 1;
    size_t line_start = 0;
    for (size_t i = 0; i < at; ++i)
        if (text[i] == '\n') ++line, line_start = i + 1;
    return {line, int32_t(at - line_start) + 1};
}

} // namespace

std::vector<RProjectProblem> check_project(Game& game, const std::vector<RCodePiece>& pieces) {
    Checker check(game);
    check.sprites();
    check.objects();
    check.rooms();
    // The code is scanned as the game will scan it: with its scripts and resource names.
    Runtime rt;
    rt.game = std::move(game);
    reset_script_state(rt);
    for (const RCodePiece& piece : pieces) {
        auto error = first_syntax_error(CCode(piece.text, rt));
        if (!error) continue;
        auto [line, column] = line_and_column(piece.text, error->position);
        const std::string place = std::to_string(line) + ":" + std::to_string(column);
        check.add(piece.file.empty() ? piece.field + ":" + place : piece.file + ":" + place,
                  error->message, !piece.file.empty());
    }
    game = std::move(rt.game);
    return std::move(check.problems);
}

} // namespace kelvane
