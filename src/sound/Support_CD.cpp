// The drive: its command interpreter over a disc of track files laid end to end, and the CD
// functions, which send their commands afresh each time and read numbers from the answers.
#include "sound/Support_CD.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>

namespace kelvane {

namespace {

namespace fs = std::filesystem;

bool audio_extension(std::string ext) {
    for (char& c : ext) c = char(std::tolower((unsigned char)c));
    static const char* const known[] = {".ogg", ".mp3", ".flac", ".wav", ".mid",  ".midi", ".opus",
                                        ".mod", ".xm",  ".it",   ".s3m", ".aiff", ".aif",  ".voc"};
    return std::find(std::begin(known), std::end(known), ext) != std::end(known);
}

// The first number in a file name, or -1.
int64_t first_number(const std::string& name) {
    size_t i = name.find_first_of("0123456789");
    if (i == std::string::npos) return -1;
    int64_t n = 0;
    for (; i < name.size() && std::isdigit((unsigned char)name[i]) && n < 100000; ++i)
        n = n * 10 + (name[i] - '0');
    return n;
}

std::vector<std::string> words(const std::string& command) {
    std::istringstream in(command);
    std::vector<std::string> w;
    for (std::string s; in >> s;) w.push_back(s);
    return w;
}

bool whole_number(const std::string& s, int64_t& n) {
    if (s.empty() || s.size() > 12) return false;
    n = 0;
    for (char c : s) {
        if (!std::isdigit((unsigned char)c)) return false;
        n = n * 10 + (c - '0');
    }
    return true;
}

} // namespace

void CCDDrive::insert(const std::string& dir, Audio* audio) {
    audio_ = audio;
    tracks_.clear();
    if (dir.empty() || !audio) return;
    std::error_code ec;
    std::map<int64_t, std::string> found; // by number; the first name of a number wins
    for (const auto& e : fs::directory_iterator(dir, ec)) {
        if (!e.is_regular_file(ec) || !audio_extension(e.path().extension().string())) continue;
        const std::string name = e.path().filename().string();
        const int64_t n = first_number(name);
        if (n < 0) continue;
        auto it = found.find(n);
        if (it == found.end() || e.path().string() < it->second) found[n] = e.path().string();
    }
    int64_t start = 0;
    for (const auto& [n, path] : found) {
        const int64_t length = audio->length_ms(path);
        if (length <= 0) continue; // not a file the decoders can play
        tracks_.push_back({path, start, length});
        start += length;
    }
}

int64_t CCDDrive::disc_ms() const {
    return tracks_.empty() ? 0 : tracks_.back().start_ms + tracks_.back().length_ms;
}

int32_t CCDDrive::track_at(int64_t ms) const {
    for (size_t i = tracks_.size(); i-- > 0;)
        if (ms >= tracks_[i].start_ms) return int32_t(i);
    return 0;
}

int64_t CCDDrive::position() const {
    if (mode_ != playing || voice_ < 0) return position_ms_;
    const int64_t frames = audio_->mixer().position(voice_);
    return tracks_[size_t(voice_track_)].start_ms + frames * 1000 / voice_rate_;
}

// tmsf "t", "t:m", "t:m:s" or "t:m:s:f" (75 frames a second), or milliseconds.
bool CCDDrive::parse_position(const std::string& text, int64_t& ms) const {
    if (!tmsf_) return whole_number(text, ms);
    int64_t part[4] = {0, 0, 0, 0};
    size_t k = 0, from = 0;
    while (k < 4) {
        const size_t colon = text.find(':', from);
        if (!whole_number(text.substr(from, colon - from), part[k++])) return false;
        if (colon == std::string::npos) break;
        from = colon + 1;
    }
    if (part[0] < 1 || part[0] > track_count()) return false;
    ms = tracks_[size_t(part[0] - 1)].start_ms + part[1] * 60000 + part[2] * 1000 +
         part[3] * 1000 / 75;
    return true;
}

std::string CCDDrive::format_position(int64_t ms) const {
    if (!tmsf_) return std::to_string(ms);
    const int32_t t = track_at(ms);
    const int64_t in = ms - tracks_[size_t(t)].start_ms;
    char s[32];
    std::snprintf(s, sizeof s, "%02d:%02d:%02d:%02d", t + 1, int(in / 60000 % 100),
                  int(in % 60000 / 1000), int(in % 1000 * 75 / 1000));
    return s;
}

void CCDDrive::halt(Mode mode) {
    position_ms_ = position();
    if (voice_ >= 0) audio_->mixer().remove_voice(voice_);
    voice_ = voice_track_ = -1;
    mode_ = mode;
}

void CCDDrive::start_track(int32_t track, int64_t offset_ms) {
    if (voice_ >= 0) audio_->mixer().remove_voice(voice_);
    voice_ = voice_track_ = -1;
    WavePtr wave = audio_->decode(tracks_[size_t(track)].path);
    if (!wave) return halt(stopped);
    voice_rate_ = wave->rate;
    voice_ = audio_->mixer().add_voice(std::move(wave));
    if (voice_ < 0) return halt(stopped);
    voice_track_ = track;
    audio_->mixer().play(voice_, false, offset_ms * voice_rate_ / 1000);
    mode_ = playing;
}

void CCDDrive::play(int64_t from, int64_t to) {
    halt(stopped);
    from = std::clamp<int64_t>(from, 0, disc_ms());
    end_ms_ = std::clamp<int64_t>(to, from, disc_ms());
    position_ms_ = from;
    if (from >= end_ms_) return;
    const int32_t t = track_at(from);
    start_track(t, from - tracks_[size_t(t)].start_ms);
}

void CCDDrive::update() {
    if (mode_ != playing) return;
    const int64_t at = position();
    if (at >= end_ms_) {
        halt(stopped);
        position_ms_ = end_ms_;
        return;
    }
    if (voice_ >= 0 && audio_->mixer().playing(voice_)) return;
    // The track ran out: the next one follows.
    const int32_t next = voice_track_ + 1;
    if (next >= track_count()) {
        halt(stopped);
        position_ms_ = disc_ms();
        return;
    }
    start_track(next, 0);
}

std::string CCDDrive::send(const std::string& command) {
    if (log) log->push_back(command);
    update();
    std::vector<std::string> w = words(command);
    if (w.size() < 2 || w[1] != "cdaudio") return "";
    const std::string& verb = w[0];
    auto has = [&](size_t i, const char* s) { return w.size() > i && w[i] == s; };
    if (verb == "open") return open_ = true, "";
    if (verb == "close") {
        halt(stopped);
        open_ = false;
        return "";
    }
    if (!open_) return "";
    const bool disc = !tracks_.empty();
    if (verb == "set") {
        if (has(2, "time") && has(3, "format") && w.size() > 4) {
            if (w[4] == "tmsf") tmsf_ = true;
            if (w[4] == "ms" || w[4] == "milliseconds") tmsf_ = false;
        }
        return ""; // the door commands do nothing
    }
    if (verb == "status") {
        if (has(2, "media") && has(3, "present")) return disc ? "true" : "false";
        if (!disc) return "";
        if (has(2, "number")) return std::to_string(track_count());
        if (has(2, "mode"))
            return mode_ == playing ? "playing" : mode_ == paused ? "paused" : "stopped";
        if (has(2, "position")) return format_position(position());
        if (has(2, "length")) {
            int64_t n = 0;
            if (has(3, "track") && w.size() > 4) {
                if (!whole_number(w[4], n) || n < 1 || n > track_count()) return "";
                return std::to_string(tracks_[size_t(n - 1)].length_ms);
            }
            return std::to_string(disc_ms());
        }
        return "";
    }
    if (!disc) return "";
    if (verb == "play") {
        int64_t from = position(), to = disc_ms();
        if (has(2, "from") && (w.size() < 4 || !parse_position(w[3], from))) return "";
        if (has(4, "to") && (w.size() < 6 || !parse_position(w[5], to))) return "";
        play(from, to);
        return "";
    }
    if (verb == "stop") return halt(stopped), "";
    if (verb == "pause") return halt(mode_ == playing ? paused : mode_), "";
    if (verb == "seek" && has(2, "to") && w.size() > 3) {
        int64_t to = 0;
        if (!parse_position(w[3], to)) return "";
        halt(stopped);
        position_ms_ = std::clamp<int64_t>(to, 0, disc_ms());
        return "";
    }
    return "";
}

// ---- the CD functions ----

namespace {

// The decimal digits of an answer, in order; 0 without any.
int64_t number_in(const std::string& answer) {
    int64_t n = 0;
    for (char c : answer)
        if (std::isdigit((unsigned char)c) && n < 100000000000LL) n = n * 10 + (c - '0');
    return n;
}

// Two characters of an answer from a 1-based position, read as a number.
int64_t digits_at(const std::string& answer, size_t position) {
    return number_in(answer.size() >= position ? answer.substr(position - 1, 2) : "");
}

bool present(CCDDrive& cd) {
    cd.send("open cdaudio");
    return cd.send("status cdaudio media present") == "true";
}

} // namespace

int32_t cd_init(CCDDrive& cd) {
    cd.send("close cdaudio");
    cd.send("open cdaudio");
    return 0;
}

int32_t cd_present(CCDDrive& cd) {
    return present(cd) ? 1 : 0;
}

int32_t cd_number(CCDDrive& cd) {
    cd.send("open cdaudio");
    if (!present(cd)) return 0;
    return int32_t(number_in(cd.send("status cdaudio number of tracks")));
}

namespace {
std::string mode(CCDDrive& cd) {
    cd.send("open cdaudio");
    if (!present(cd)) return "";
    return cd.send("status cdaudio mode");
}
} // namespace

int32_t cd_playing(CCDDrive& cd) {
    return mode(cd) == "playing" ? 1 : 0;
}

int32_t cd_paused(CCDDrive& cd) {
    return mode(cd) == "paused" ? 1 : 0;
}

int32_t cd_track(CCDDrive& cd) {
    cd.send("open cdaudio");
    cd.send("set cdaudio time format tmsf wait");
    if (!present(cd)) return 0;
    return int32_t(digits_at(cd.send("status cdaudio position"), 1));
}

namespace {
// A time query of the drive: the time format set to `format` ("ms" or "milliseconds", as
// each query has always sent it), the status asked, and the format set back to tmsf.
int64_t time_status(CCDDrive& cd, const char* format, const std::string& status) {
    cd.send(std::string("set cdaudio time format ") + format + " wait");
    int64_t n = 0;
    if (present(cd)) n = number_in(cd.send(status));
    cd.send("set cdaudio time format tmsf wait");
    return n;
}
} // namespace

int64_t cd_length(CCDDrive& cd) {
    cd.send("open cdaudio");
    return time_status(cd, "ms", "status cdaudio length wait");
}

int64_t cd_track_length(CCDDrive& cd, int32_t track) {
    cd.send("open cdaudio");
    if (track <= 0 || track > cd_number(cd)) return 0;
    return time_status(cd, "milliseconds", "status cdaudio length track " + std::to_string(track));
}

int64_t cd_position(CCDDrive& cd) {
    cd.send("open cdaudio");
    return time_status(cd, "milliseconds", "status cdaudio position");
}

int64_t cd_track_position(CCDDrive& cd) {
    cd.send("open cdaudio");
    cd.send("set cdaudio time format tmsf wait");
    if (!present(cd)) return 0;
    const std::string a = cd.send("status cdaudio position");
    return digits_at(a, 4) * 60000 + digits_at(a, 7) * 1000;
}

void cd_play(CCDDrive& cd, int32_t first, int32_t last) {
    if (!present(cd)) return;
    cd.send("set cdaudio time format tmsf wait");
    if (last < first) return;
    first = std::max(first, 1);
    if (last < cd_number(cd))
        cd.send("play cdaudio from " + std::to_string(first) + " to " + std::to_string(last + 1));
    else
        cd.send("play cdaudio from " + std::to_string(first));
}

void cd_stop(CCDDrive& cd) {
    if (present(cd)) cd.send("stop cdaudio");
}

void cd_pause(CCDDrive& cd) {
    if (present(cd)) cd.send("pause cdaudio");
}

void cd_resume(CCDDrive& cd) {
    if (present(cd)) cd.send("play cdaudio");
}

namespace {
// A playing disc plays on from the position, a silent one only moves there; the time
// format goes back to tracks.
void go_to(CCDDrive& cd, const std::string& position) {
    cd.send(cd_playing(cd) ? "play cdaudio from " + position : "seek cdaudio to " + position);
    cd.send("set cdaudio time format tmsf");
}
} // namespace

void cd_set_position(CCDDrive& cd, int64_t ms) {
    if (!present(cd)) return;
    cd.send("set cdaudio time format milliseconds wait");
    go_to(cd, std::to_string(ms));
}

void cd_set_track_position(CCDDrive& cd, int64_t ms) {
    if (!present(cd)) return;
    const int32_t track = cd_track(cd);
    if (track <= 0) return;
    const std::string p = std::to_string(track) + ":" + std::to_string(ms / 60000) + ":" +
                          std::to_string(ms % 60000 / 1000);
    cd.send("set cdaudio time format tmsf wait");
    go_to(cd, p);
}

void cd_open_door(CCDDrive& cd) {
    cd.send("open cdaudio");
    cd.send("set cdaudio door open");
}

void cd_close_door(CCDDrive& cd) {
    cd.send("open cdaudio");
    cd.send("set cdaudio door closed");
}

} // namespace kelvane
