// Event lookup through parents, performing events, and the action-list executor.
#include "run/Event_Main.h"

#include <climits>

#include "model/Object_Class.h"
#include "run/Event_Action.h"
#include "run/Run_Main.h"
#include "run/Runtime.h"

namespace kelvane {

namespace {

const CEvent* find_event_at(const Game& game, int32_t o, int32_t t, int32_t n, int32_t* fo,
                            int32_t* fn, int32_t depth) {
    // Parent chains are short; the depth bound only stops a damaged game's cycle.
    if (depth > game.objects.count() + 1) return nullptr;
    const CObject* obj = game.objects.get(o);
    if (!obj) return nullptr;
    if (const CEvent* e = obj->own_event(t, n)) {
        if (fo) *fo = o;
        if (fn) *fn = n;
        return e;
    }
    if (game.objects.exists(obj->parent))
        if (const CEvent* e = find_event_at(game, obj->parent, t, n, fo, fn, depth + 1)) return e;
    if (t == ev_collision) {
        const CObject* other = game.objects.get(n);
        if (other && game.objects.exists(other->parent))
            return find_event_at(game, o, t, other->parent, fo, fn, depth + 1);
    }
    return nullptr;
}

constexpr int32_t stop = INT_MAX / 2;

// Runs one event's action list.
struct Executor {
    Runtime& rt;
    CInstance* self;
    CInstance* other;
    const CEvent& event;
    int32_t count;

    bool pending() const { return rt.run.pending != pending_none; }
    const CAction& action(int32_t i) const { return event.actions[size_t(i)]; }

    void run() {
        int32_t i = 0;
        while (i < count) i = execute(i, false);
    }

    int32_t execute(int32_t i, bool skip) {
        if (i >= count || pending()) return stop;
        const CAction& a = action(i);
        const RActionEntry& entry = action_entry(a.function);
        int32_t r;
        if (a.function == action_begin_block) {
            r = block(i, skip);
        } else if (skip) {
            return entry.question ? execute(i + 1, true) : i + 1;
        } else if (a.function == action_repeat) {
            r = repeat(i);
        } else if (entry.question) {
            r = question(i);
        } else {
            r = normal(i);
        }
        return pending() ? stop : r;
    }

    int32_t block(int32_t i, bool skip) {
        int32_t j = i + 1;
        while (j < count && action(j).function != action_end_block) j = execute(j, skip);
        return j + 1;
    }

    // Calls the action's function as its applies-to says; for an object, once per
    // instance of it or its descendants, stopping at the first false answer of a question.
    bool call(const CAction& a, const RActionEntry& entry) {
        bool negate = entry.question && a.argument_text(7) == "1";
        auto once = [&](CInstance* s, CInstance* o) {
            bool answer = entry.function(rt, s, o, a);
            return negate ? !answer : answer;
        };
        if (!entry.applies_to || a.applies_to == -1) return once(self, other);
        if (a.applies_to == -2) return once(other, self);
        if (a.applies_to < 0) return once(self, other);
        CRoom* room = rt.run.room();
        if (!room) return true;
        const auto& list = room->instances_of_family(a.applies_to);
        size_t n = list.size();
        for (size_t k = 0; k < n; ++k) {
            CInstance* inst = list[k];
            if (inst->destroyed) continue;
            if (!once(inst, other) && entry.question) return false;
            if (pending()) break;
        }
        return true;
    }

    int32_t normal(int32_t i) {
        rt.run.action_number = i;
        const CAction& a = action(i);
        if (a.function == action_exit) return stop;
        call(a, action_entry(a.function));
        return i + 1;
    }

    int32_t question(int32_t i) {
        rt.run.action_number = i;
        const CAction& a = action(i);
        bool b = call(a, action_entry(a.function));
        if (pending()) return stop;
        int32_t r = execute(i + 1, !b);
        if (r < count && action(r).function == action_else) r = execute(r + 1, b);
        return r;
    }

    int32_t repeat(int32_t i) {
        rt.run.action_number = i;
        int32_t n = round_int(action_real(rt, self, other, action(i), 0));
        for (int32_t k = 0; k < n; ++k) {
            int32_t r = execute(i + 1, false);
            if (r > count || pending()) return stop;
        }
        return execute(i + 1, true);
    }
};

} // namespace

const CEvent* find_event(const Game& game, int32_t o, int32_t t, int32_t n, int32_t* found_object,
                         int32_t* found_number) {
    return find_event_at(game, o, t, n, found_object, found_number, 0);
}

bool has_events_of_type(const Game& game, int32_t o, int32_t t) {
    for (int32_t a = o, steps = 0; game.objects.exists(a) && steps <= game.objects.count();
         a = game.objects.get(a)->parent, ++steps)
        if (game.objects.get(a)->has_own_events_of_type(t)) return true;
    return false;
}

void perform(Runtime& rt, CInstance* self, CInstance* other, int32_t object, int32_t type,
             int32_t number) {
    RunState& run = rt.run;
    if (run.pending != pending_none) return;
    int32_t found_object = object, found_number = number;
    const CEvent* e = find_event(rt.game, object, type, number, &found_object, &found_number);
    if (!e) return;
    int32_t saved_object = run.event_object, saved_type = run.event_type,
            saved_number = run.event_number;
    run.event_object = found_object;
    run.event_type = type;
    run.event_number = found_number;
    Executor{rt, self, other, *e, e->count()}.run();
    run.event_object = saved_object;
    run.event_type = saved_type;
    run.event_number = saved_number;
}

void perform_own(Runtime& rt, CInstance* self, CInstance* other, int32_t type, int32_t number) {
    if (!self || rt.run.pending != pending_none) return;
    perform(rt, self, other, self->object_index, type, number);
}

void perform_for_all(Runtime& rt, int32_t type, int32_t number) {
    CRoom* room = rt.run.room();
    if (!room || rt.run.pending != pending_none) return;
    size_t n = room->instances.size();
    for (size_t i = 0; i < n && i < room->instances.size(); ++i) {
        CInstance* inst = room->instances[i].get();
        if (!inst->destroyed) perform_own(rt, inst, inst, type, number);
    }
}

void perform_for_objects(Runtime& rt, const std::vector<int32_t>& objects, int32_t type,
                         int32_t number) {
    CRoom* room = rt.run.room();
    if (!room) return;
    for (int32_t o : objects) {
        if (rt.run.pending != pending_none) return;
        const auto& list = room->instances_of(o);
        size_t n = list.size();
        for (size_t k = 0; k < n; ++k) {
            CInstance* inst = list[k];
            if (!inst->destroyed) perform_own(rt, inst, inst, type, number);
        }
    }
}

void perform_inherited(Runtime& rt, CInstance* self, CInstance* other) {
    const CObject* obj = rt.game.objects.get(rt.run.event_object);
    if (obj && rt.game.objects.exists(obj->parent))
        perform(rt, self, other, obj->parent, rt.run.event_type, rt.run.event_number);
}

} // namespace kelvane
