// The sound functions: playing, stopping and the effects of sounds, sounds added, replaced
// and deleted from files, and the release and restore of their players. Each unpacks its
// arguments and calls the sound list's operation.
#include "functions/Function_Sound.h"

#include "code/Code_Main.h"
#include "run/Runtime.h"
#include "sound/Sound_Main.h"

namespace kelvane {

namespace {

int32_t n(const RValue& v) {
    return to_int32(v.real);
}
bool flag(const RValue& v) {
    return v.real >= 0.5;
}

#define H(name)                                                                                    \
    void name(Runtime& rt, CInstance* self, CInstance* other, int32_t, RValue& result,             \
              const RValue* a)
#define UNUSED (void)rt, (void)self, (void)other, (void)result, (void)a

H(fn_sound_isplaying) {
    UNUSED;
    result = RValue(sound_is_playing(rt, n(a[0])) ? 1.0 : 0.0);
}
H(fn_sound_play) {
    UNUSED;
    sound_play(rt, n(a[0]), false);
}
H(fn_sound_loop) {
    UNUSED;
    sound_play(rt, n(a[0]), true);
}
H(fn_sound_stop) {
    UNUSED;
    sound_stop(rt, n(a[0]));
}
H(fn_sound_stop_all) {
    UNUSED;
    sound_stop_all(rt);
}
H(fn_sound_pan) {
    UNUSED;
    sound_pan(rt, n(a[0]), a[1].real);
}
H(fn_sound_volume) {
    UNUSED;
    sound_volume(rt, n(a[0]), a[1].real);
}
H(fn_sound_frequency) {
    UNUSED;
    sound_frequency(rt, n(a[0]), a[1].real);
}

// A game's file name as a host path; empty when it names none (then adding fails as for a
// missing file).
std::string host_path(Runtime& rt, const RValue& v) {
    auto h = rt.file_names.to_host(v.str.str());
    return h ? *h : std::string();
}

H(fn_sound_add) {
    UNUSED;
    const std::string path = host_path(rt, a[0]);
    const int32_t id = path.empty() ? -1 : sound_add(rt, path, n(a[1]), flag(a[2]), flag(a[3]));
    result = RValue(double(id));
}
H(fn_sound_replace) {
    UNUSED;
    const int32_t id = n(a[0]);
    if (!rt.game.sounds.exists(id)) {
        report_error(rt, "Trying to replace non-existing sound.", false);
        return;
    }
    const std::string path = host_path(rt, a[1]);
    const bool ok = sound_replace(rt, id, path, n(a[2]), flag(a[3]), flag(a[4]));
    result = RValue(ok ? 1.0 : 0.0);
}
H(fn_sound_delete) {
    UNUSED;
    const int32_t id = n(a[0]);
    if (!rt.game.sounds.exists(id)) {
        report_error(rt, "Trying to delete non-existing sound.", false);
        return;
    }
    result = RValue(sound_delete(rt, id) ? 1.0 : 0.0);
}
H(fn_sound_discard) {
    UNUSED;
    sound_discard(rt, n(a[0]));
}
H(fn_sound_restore) {
    UNUSED;
    sound_restore(rt, n(a[0]));
}

// CD audio: each returns what the drive's function answers.
#define CD(name, call)                                                                             \
    H(fn_##name) {                                                                                 \
        UNUSED;                                                                                    \
        result = RValue(double(call));                                                             \
    }
#define CD_DO(name, call)                                                                          \
    H(fn_##name) {                                                                                 \
        UNUSED;                                                                                    \
        call;                                                                                      \
    }
CD(cd_init, cd_init(rt.sound.cd))
CD(cd_present, cd_present(rt.sound.cd))
CD(cd_number, cd_number(rt.sound.cd))
CD(cd_playing, cd_playing(rt.sound.cd))
CD(cd_paused, cd_paused(rt.sound.cd))
CD(cd_track, cd_track(rt.sound.cd))
CD(cd_length, cd_length(rt.sound.cd))
CD(cd_track_length, cd_track_length(rt.sound.cd, n(a[0])))
CD(cd_position, cd_position(rt.sound.cd))
CD(cd_track_position, cd_track_position(rt.sound.cd))
CD_DO(cd_play, cd_play(rt.sound.cd, n(a[0]), n(a[1])))
CD_DO(cd_stop, cd_stop(rt.sound.cd))
CD_DO(cd_pause, cd_pause(rt.sound.cd))
CD_DO(cd_resume, cd_resume(rt.sound.cd))
CD_DO(cd_set_position, cd_set_position(rt.sound.cd, n(a[0])))
CD_DO(cd_set_track_position, cd_set_track_position(rt.sound.cd, n(a[0])))
CD_DO(cd_open_door, cd_open_door(rt.sound.cd))
CD_DO(cd_close_door, cd_close_door(rt.sound.cd))

#undef CD
#undef CD_DO
#undef H
#undef UNUSED

const RFunction sound[] = {
    {"sound_isplaying", fn_sound_isplaying, 1},
    {"sound_play", fn_sound_play, 1},
    {"sound_loop", fn_sound_loop, 1},
    {"sound_stop", fn_sound_stop, 1},
    {"sound_stop_all", fn_sound_stop_all, 0},
    {"sound_pan", fn_sound_pan, 2},
    {"sound_volume", fn_sound_volume, 2},
    {"sound_frequency", fn_sound_frequency, 2},
    {"sound_add", fn_sound_add, 4},
    {"sound_replace", fn_sound_replace, 5},
    {"sound_delete", fn_sound_delete, 1},
    {"cd_init", fn_cd_init, 0},
    {"cd_present", fn_cd_present, 0},
    {"cd_number", fn_cd_number, 0},
    {"cd_playing", fn_cd_playing, 0},
    {"cd_paused", fn_cd_paused, 0},
    {"cd_track", fn_cd_track, 0},
    {"cd_length", fn_cd_length, 0},
    {"cd_track_length", fn_cd_track_length, 1},
    {"cd_position", fn_cd_position, 0},
    {"cd_track_position", fn_cd_track_position, 0},
    {"cd_play", fn_cd_play, 2},
    {"cd_stop", fn_cd_stop, 0},
    {"cd_pause", fn_cd_pause, 0},
    {"cd_resume", fn_cd_resume, 0},
    {"cd_set_position", fn_cd_set_position, 1},
    {"cd_set_track_position", fn_cd_set_track_position, 1},
    {"cd_open_door", fn_cd_open_door, 0},
    {"cd_close_door", fn_cd_close_door, 0},
};

const RFunction sound_memory[] = {
    {"sound_discard", fn_sound_discard, 1},
    {"sound_restore", fn_sound_restore, 1},
};

} // namespace

std::span<const RFunction> sound_functions() {
    return sound;
}
std::span<const RFunction> sound_memory_functions() {
    return sound_memory;
}

} // namespace kelvane
