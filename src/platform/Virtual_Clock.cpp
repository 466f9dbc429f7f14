// The virtual clock.
#include "platform/Virtual_Clock.h"

#include <algorithm>

namespace kelvane {

namespace {

// Far beyond any game's life, and far from overflowing the microsecond count.
constexpr int64_t max_elapsed_us = int64_t(1) << 60;

} // namespace

VirtualClock::VirtualClock(std::unique_ptr<Clock> real, bool wait, int64_t start_ms)
    : real_(std::move(real)), wait_(wait), start_ms_(start_ms) {}

void VirtualClock::sleep_ms(int64_t ms) {
    if (ms <= 0) return;
    elapsed_us_ =
        std::min(max_elapsed_us, elapsed_us_ + std::min(ms, max_elapsed_us / 1000) * 1000);
    if (wait_) real_->sleep_ms(ms);
}

void VirtualClock::step_passed(int32_t room_speed) {
    elapsed_us_ = std::min(max_elapsed_us, elapsed_us_ + 1000000 / std::max(1, room_speed));
}

std::tm VirtualClock::local_time() {
    std::tm start{};
    start.tm_year = start_year - 1900;
    start.tm_mday = 1;
    // Counted as universal time, so that the date does not depend on the machine's zone.
    std::time_t t = timegm(&start) + std::time_t(elapsed_us_ / 1000000);
    std::tm tm{};
    gmtime_r(&t, &tm);
    return tm;
}

} // namespace kelvane
