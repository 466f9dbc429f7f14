// The virtual clock of deterministic runs: time advances with the game's steps (1000 /
// room speed milliseconds each) and with its sleeps, never with the wall clock, so that a
// run reads the same times every time it is played.
#pragma once

#include <memory>

#include "platform/Platform.h"

namespace kelvane {

class VirtualClock : public Clock {
  public:
    // The date the virtual local time starts from: Saturday 1 January 2000, 00:00:00.
    static constexpr int start_year = 2000;

    // `real` paces play in a window; with `wait`, sleeping also waits that long on it (in
    // a window the player should see the pause; headless nobody does). The tick count
    // starts at `start_ms`.
    VirtualClock(std::unique_ptr<Clock> real, bool wait, int64_t start_ms = 0);

    int64_t ticks_ms() override { return start_ms_ + elapsed_us_ / 1000; }
    void sleep_ms(int64_t ms) override;
    std::tm local_time() override;
    void step_passed(int32_t room_speed) override;
    Clock& pacing() override { return *real_; }
    bool is_virtual() const override { return true; }

  private:
    std::unique_ptr<Clock> real_;
    bool wait_;
    int64_t start_ms_;
    int64_t elapsed_us_ = 0;
};

} // namespace kelvane
