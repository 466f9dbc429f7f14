// Writing recordings, with the buffer that a signal handler can still write out.
#include "platform/Recording.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <unistd.h>

#include "platform/Scripted_Input.h"

namespace kelvane {

namespace {

// The one recording of the process. A signal handler may only write what is complete, so
// the buffer is fixed and its used length is published after each line.
constexpr size_t buffer_size = 1 << 16;
char buffer[buffer_size];
std::atomic<size_t> used{0};
std::atomic<int> file{-1};

constexpr int caught[] = {SIGINT, SIGTERM, SIGHUP, SIGSEGV, SIGBUS, SIGFPE, SIGABRT};
struct sigaction previous[sizeof(caught) / sizeof(caught[0])];

bool write_all(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

// Async-signal-safe: writes the complete lines, then lets the earlier handler (or the
// default action) end the process.
void on_signal(int sig) {
    int fd = file.load();
    if (fd >= 0) {
        write_all(fd, buffer, used.load());
        used.store(0);
    }
    for (size_t i = 0; i < sizeof(caught) / sizeof(caught[0]); ++i)
        if (caught[i] == sig) sigaction(sig, &previous[i], nullptr);
    raise(sig);
}

bool parse_field(const std::string& value, int64_t lo, int64_t hi, int64_t& out) {
    const char* b = value.data();
    const char* e = b + value.size();
    auto r = std::from_chars(b, e, out);
    return r.ec == std::errc() && r.ptr == e && out >= lo && out <= hi;
}

constexpr const char* header_mark = "# kelvane recording";

} // namespace

std::string format_recording_header(const RRecordingHeader& h) {
    char checksum[17];
    std::snprintf(checksum, sizeof checksum, "%016llx", (unsigned long long)h.game_checksum);
    std::string line = std::string(header_mark) + " version=" + h.version + " game=" + checksum +
                       " clock=" + std::to_string(h.clock_start);
    if (h.seed) line += " seed=" + std::to_string(*h.seed);
    if (h.steps) line += " steps=" + std::to_string(*h.steps);
    return line;
}

std::optional<RRecordingHeader> parse_recording_header(const std::string& text,
                                                       std::string* error) {
    auto fail = [&](const std::string& why) -> std::optional<RRecordingHeader> {
        if (error) *error = why;
        return std::nullopt;
    };
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(header_mark, 0) != 0) continue;
        RRecordingHeader h;
        bool has_game = false, has_clock = false;
        std::istringstream words(line.substr(std::strlen(header_mark)));
        for (std::string w; words >> w;) {
            size_t eq = w.find('=');
            if (eq == std::string::npos) return fail("the header has a word without '=': " + w);
            std::string key = w.substr(0, eq), value = w.substr(eq + 1);
            int64_t n = 0;
            if (key == "version") {
                h.version = value;
            } else if (key == "game") {
                uint64_t sum = 0;
                auto r = std::from_chars(value.data(), value.data() + value.size(), sum, 16);
                if (r.ec != std::errc() || r.ptr != value.data() + value.size())
                    return fail("the header's game checksum is not a hexadecimal number");
                h.game_checksum = sum;
                has_game = true;
            } else if (key == "clock") {
                if (!parse_field(value, 0, int64_t(1) << 52, n))
                    return fail("the header's clock is not a whole number from 0");
                h.clock_start = n;
                has_clock = true;
            } else if (key == "seed") {
                if (!parse_field(value, INT32_MIN, INT32_MAX, n))
                    return fail("the header's seed is not a whole number of 32 bits");
                h.seed = int32_t(n);
            } else if (key == "steps") {
                if (!parse_field(value, 0, INT64_MAX, n))
                    return fail("the header's steps is not a whole number from 0");
                h.steps = n;
            }
            // Other fields are for later versions; they do not change the replay here.
        }
        if (!has_game || !has_clock) return fail("the header lacks the game checksum or the clock");
        return h;
    }
    return fail("no header line (\"# kelvane recording ...\"): not a recording");
}

uint64_t checksum_add(uint64_t sum, const char* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        sum ^= uint8_t(data[i]);
        sum *= 1099511628211ull;
    }
    return sum;
}

// Records what it passes on; keys held are tracked for key_held.
class RecordingDisplay::Sink : public InputSink {
  public:
    Sink(RecordingDisplay& d, InputSink& to) : d_(d), held_(to, d.held_) {}
    void key_down(int32_t vk) override { emit(RScriptedEvent::key_down, vk), held_.key_down(vk); }
    void key_up(int32_t vk) override { emit(RScriptedEvent::key_up, vk), held_.key_up(vk); }
    void key_press(uint8_t ch) override {
        RScriptedEvent ev = d_.next(RScriptedEvent::character);
        ev.text = std::string(1, char(ch));
        d_.record(ev);
        held_.key_press(ch);
    }
    void mouse_down(int32_t b) override {
        emit(RScriptedEvent::mouse_down, b), held_.mouse_down(b);
    }
    void mouse_up(int32_t b) override { emit(RScriptedEvent::mouse_up, b), held_.mouse_up(b); }
    void close_request() override { emit(RScriptedEvent::close, 0), held_.close_request(); }
    // The wheel only scrolls our own windows, which a replay answers from its answers file.
    void mouse_wheel(int32_t notches) override { held_.mouse_wheel(notches); }

  private:
    void emit(RScriptedEvent::Kind kind, int32_t a) { d_.record(d_.next(kind, a)); }
    RecordingDisplay& d_;
    HeldKeys held_;
};

std::unique_ptr<RecordingDisplay> RecordingDisplay::open(std::unique_ptr<Display> inner,
                                                         const std::string& path,
                                                         const RRecordingHeader& header,
                                                         std::string* error) {
    if (file.load() >= 0) {
        if (error) *error = "another recording is being made";
        return nullptr;
    }
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (error) *error = std::strerror(errno);
        return nullptr;
    }
    std::string first = format_recording_header(header) + "\n";
    if (!write_all(fd, first.data(), first.size())) {
        if (error) *error = std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    used.store(0);
    file.store(fd);
    struct sigaction sa {};
    sa.sa_handler = on_signal;
    sigemptyset(&sa.sa_mask);
    for (size_t i = 0; i < sizeof(caught) / sizeof(caught[0]); ++i)
        sigaction(caught[i], &sa, &previous[i]);
    return std::unique_ptr<RecordingDisplay>(new RecordingDisplay(std::move(inner)));
}

RecordingDisplay::~RecordingDisplay() {
    flush();
    for (size_t i = 0; i < sizeof(caught) / sizeof(caught[0]); ++i)
        sigaction(caught[i], &previous[i], nullptr);
    int fd = file.exchange(-1);
    if (fd >= 0) ::close(fd);
}

bool RecordingDisplay::flush() {
    int fd = file.load();
    if (fd < 0) return false;
    bool ok = write_all(fd, buffer, used.load());
    used.store(0);
    return ok;
}

void RecordingDisplay::record(const RScriptedEvent& event) {
    std::string line = format_scripted_event(event) + "\n";
    if (used.load() + line.size() > buffer_size) flush();
    size_t at = used.load();
    std::memcpy(buffer + at, line.data(), line.size());
    used.store(at + line.size());
}

void RecordingDisplay::begin_step(int64_t step) {
    step_ = step;
    inner_->begin_step(step);
}

void RecordingDisplay::form_closed(const std::optional<std::string>& answer) {
    in_form_ = false;
    if (!answer) return;
    RScriptedEvent ev;
    ev.step = std::max<int64_t>(step_, 1);
    ev.kind = RScriptedEvent::answer;
    ev.text = *answer;
    record(ev);
}

void RecordingDisplay::pump(InputSink& sink, bool in_step) {
    if (in_form_) {
        in_step ? inner_->process_events_in_step(sink) : inner_->process_events(sink);
        return;
    }
    Sink recording(*this, sink);
    if (in_step)
        inner_->process_events_in_step(recording);
    else
        inner_->process_events(recording);
    int32_t x = 0, y = 0;
    inner_->mouse_position(x, y);
    // Within what an input file may hold.
    x = std::clamp(x, -100000, 100000);
    y = std::clamp(y, -100000, 100000);
    if (x != mouse_x_ || y != mouse_y_) {
        record(next(RScriptedEvent::mouse_move, x, y));
        mouse_x_ = x;
        mouse_y_ = y;
    }
    for (int32_t id = 1; id <= 2; ++id) {
        std::optional<RJoystickState> now = inner_->joystick(id);
        if (now) {
            // Within what an input file may hold.
            now->x = std::min<uint32_t>(now->x, 65535);
            now->y = std::min<uint32_t>(now->y, 65535);
            now->z = std::min<uint32_t>(now->z, 65535);
        }
        std::optional<RJoystickState>& was = joysticks_[size_t(id - 1)];
        if (now == was) continue;
        RScriptedEvent ev = next(RScriptedEvent::joystick, id);
        ev.joy = now;
        record(ev);
        was = now;
    }
}

bool RecordingDisplay::key_held(int32_t vk) {
    return key_is_held(held_, vk);
}

} // namespace kelvane
