// The sound list's run-time operations over the players of Sound_Play.
#include "sound/Sound_Main.h"

#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "code/Code_Main.h"
#include "run/Runtime.h"

namespace kelvane {

namespace {

int32_t rounded(double x) {
    return int32_t(std::nearbyint(x));
}

// A stored file type used as a temporary file's extension only when it is a plain one,
// so that a game file cannot name a path.
std::string safe_extension(const std::string& file_type) {
    if (file_type.size() < 2 || file_type.size() > 16 || file_type[0] != '.') return "";
    for (size_t i = 1; i < file_type.size(); ++i)
        if (!std::isalnum((unsigned char)file_type[i])) return "";
    return file_type;
}

void report(Runtime& rt, const std::string& message) {
    report_error(rt, message, false);
}

// The sound, or null after reporting the message followed by the id.
CSound* used(Runtime& rt, int32_t id, const char* message) {
    CSound* s = rt.game.sounds.get(id);
    if (!s) report(rt, message + std::to_string(id));
    return s;
}

void make_player(Runtime& rt, CSound& s) {
    if (s.file_name.empty()) return;
    s.player = std::make_unique<TPlaySound>(rt.sound.audio, s.file_name, s.buffers, s.effects,
                                            [&rt](const std::string& m) { report(rt, m); });
}

// Every use that changes a sound brings its player to life first.
TPlaySound* live_player(Runtime& rt, CSound& s) {
    if (!s.player) make_player(rt, s);
    return s.player.get();
}

int32_t kind_of(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext) c = char(std::tolower((unsigned char)c));
    return ext == ".wav"   ? sound_wave
           : ext == ".mid" ? sound_midi
           : ext == ".mp3" ? sound_mp3
                           : sound_other;
}

// Loads a sound from a host file as add and replace do; false when the file is missing.
bool load_from_file(Runtime& rt, CSound& s, const std::string& path, int32_t buffers, bool effects,
                    bool loadonuse) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    s.clear();
    s.file_type = std::filesystem::path(path).extension().string();
    s.file_name = path;
    s.kind = kind_of(path);
    s.buffers = buffers;
    s.effects = effects;
    s.loadonuse = loadonuse;
    if (!loadonuse) make_player(rt, s);
    return true;
}

} // namespace

int32_t volume_hundredths(double v) {
    if (v <= 0) return -10000;
    if (v >= 1) return 0;
    return rounded(10000 * v - 10000);
}

int32_t pan_hundredths(double v) {
    if (v <= 0) return -10000;
    if (v >= 1) return 10000;
    return rounded(20000 * v - 10000);
}

int32_t frequency_hz(double v) {
    if (v <= 0) return 100;
    if (v >= 1) return 100000;
    return rounded(99900 * v + 100);
}

void prepare_sounds(Runtime& rt, Audio* audio) {
    rt.sound.audio = audio;
    for (int32_t i = 0; i < rt.game.sounds.count(); ++i) {
        CSound* s = rt.game.sounds.get(i);
        if (!s || !s->data) continue;
        // Without a temporary directory the sound has no file and never plays.
        if (rt.temp.exists()) {
            s->file_name = rt.temp.new_file_name(safe_extension(s->file_type));
            std::ofstream out(s->file_name, std::ios::binary);
            out.write(reinterpret_cast<const char*>(s->data->data()),
                      std::streamsize(s->data->size()));
        }
        s->data.reset();
        if (!s->loadonuse) make_player(rt, *s);
    }
}

void sound_play(Runtime& rt, int32_t id, bool loop) {
    CSound* s = used(rt, id, "Trying to play non-existing sound: ");
    if (!s) return;
    TPlaySound* p = live_player(rt, *s);
    if (!p) return;
    // One MIDI at a time.
    if (s->kind == sound_midi)
        for (int32_t i = 0; i < rt.game.sounds.count(); ++i) {
            CSound* other = rt.game.sounds.get(i);
            if (other && other->kind == sound_midi && other->player && other->player->is_playing())
                other->player->stop();
        }
    p->play(loop);
}

void sound_stop(Runtime& rt, int32_t id) {
    CSound* s = used(rt, id, "Trying to stop non-existing sound: ");
    if (s && s->player) s->player->stop();
}

void sound_stop_all(Runtime& rt) {
    for (int32_t i = 0; i < rt.game.sounds.count(); ++i) {
        CSound* s = rt.game.sounds.get(i);
        if (s && s->player) s->player->stop();
    }
}

bool sound_is_playing(Runtime& rt, int32_t id) {
    CSound* s = used(rt, id, "Checking non-existing sound: ");
    return s && s->player && s->player->is_playing();
}

void sound_volume(Runtime& rt, int32_t id, double v) {
    CSound* s = used(rt, id, "Trying to change volume of non-existing sound: ");
    if (TPlaySound* p = s ? live_player(rt, *s) : nullptr) p->set_volume(volume_hundredths(v));
}

void sound_pan(Runtime& rt, int32_t id, double v) {
    CSound* s = used(rt, id, "Trying to pan non-existing sound: ");
    if (TPlaySound* p = s ? live_player(rt, *s) : nullptr) p->set_pan(pan_hundredths(v));
}

void sound_frequency(Runtime& rt, int32_t id, double v) {
    CSound* s = used(rt, id, "Trying to change frequency of non-existing sound: ");
    if (TPlaySound* p = s ? live_player(rt, *s) : nullptr) p->set_frequency(frequency_hz(v));
}

int32_t sound_add(Runtime& rt, const std::string& path, int32_t buffers, bool effects,
                  bool loadonuse) {
    auto s = std::make_unique<CSound>();
    if (!load_from_file(rt, *s, path, buffers, effects, loadonuse)) return -1;
    const int32_t id = rt.game.sounds.count();
    rt.game.sounds.add("__newsound" + std::to_string(id), std::move(s));
    return id;
}

bool sound_replace(Runtime& rt, int32_t id, const std::string& path, int32_t buffers, bool effects,
                   bool loadonuse) {
    if (id < 0 || id >= rt.game.sounds.count()) return false;
    if (!rt.game.sounds.exists(id))
        rt.game.sounds.set(id, rt.game.sounds.stored_name(id), std::make_unique<CSound>());
    CSound& s = *rt.game.sounds.get(id);
    // The sound is cleared first, so a missing file leaves it empty.
    s.clear();
    return load_from_file(rt, s, path, buffers, effects, loadonuse);
}

bool sound_delete(Runtime& rt, int32_t id) {
    if (!rt.game.sounds.exists(id)) return false;
    rt.game.sounds.remove(id);
    return true;
}

void sound_discard(Runtime& rt, int32_t id) {
    if (CSound* s = rt.game.sounds.get(id)) s->player.reset();
}

void sound_restore(Runtime& rt, int32_t id) {
    if (CSound* s = rt.game.sounds.get(id)) live_player(rt, *s);
}

void sound_step(Runtime& rt, int32_t room_speed) {
    if (rt.sound.audio) rt.sound.audio->step(room_speed);
    rt.sound.cd.update();
}

void sound_discard_unused(Runtime& rt) {
    for (int32_t i = 0; i < rt.game.sounds.count(); ++i) {
        CSound* s = rt.game.sounds.get(i);
        if (s && s->loadonuse && s->player && !s->player->is_playing()) s->player.reset();
    }
}

} // namespace kelvane
