// The argument slots around script calls: what a call changes in argument0 ... argument9
// is put back when it returns (ArgumentFrame), and the one way to change a slot while
// calls are in progress (set_argument).
#pragma once

#include <bit>
#include <cstdint>
#include <new>
#include <utility>

#include "code/Code_Main.h"
#include "code/Variable_Class.h"

namespace kelvane {

// The argument slots as one script call saw them: a slot's value at call time is kept the
// first time the call sets it (its arguments) or changes it (the call, or anything it
// runs), and put back when the frame ends. So a call costs only the slots it sets or
// changes, and all ten end as they were.
//
// A frame made with the script state is open until it is destroyed. The machine's call
// frames keep one each from call to call: opened by take() when the call starts, closed
// by close() when it ends.
class ArgumentFrame {
  public:
    ArgumentFrame() = default;
    explicit ArgumentFrame(ScriptState& s) { open(s); }
    ArgumentFrame(const ArgumentFrame&) = delete;
    ArgumentFrame& operator=(const ArgumentFrame&) = delete;
    ~ArgumentFrame() {
        if (s_) close();
    }

    // Opens the frame with the call's n arguments (n <= 10), moved into the first n
    // slots, whose values are kept.
    void take(ScriptState& s, RValue* args, int32_t n) {
        open(s);
        for (int32_t j = 0; j < n; ++j) {
            // The slot, moved from, holds no string: the argument is moved in over it.
            RValue& slot = s.arguments[size_t(j)];
            new (kept() + j) RValue(std::move(slot));
            new (&slot) RValue(std::move(args[j]));
        }
        saved_ = (1u << n) - 1;
    }

    // Keeps slot i's value (the slot itself is passed) unless it was kept already.
    void save(int32_t i, RValue& slot) {
        if (saved_ & (1u << i)) return;
        saved_ |= 1u << i;
        new (kept() + i) RValue(slot);
    }

    // Puts back the slots kept: the frame is then no longer the state's.
    void close() {
        // Only the slots kept are visited: most calls keep one or two.
        for (uint32_t left = saved_; left; left &= left - 1) {
            int i = std::countr_zero(left);
            RValue& slot = s_->arguments[size_t(i)];
            slot.~RValue();
            new (&slot) RValue(std::move(kept()[i]));
            kept()[i].~RValue();
        }
        s_->argument_frame = outer_;
        s_ = nullptr;
    }

  private:
    ScriptState* s_ = nullptr;
    ArgumentFrame* outer_ = nullptr;
    uint32_t saved_ = 0;
    alignas(RValue) unsigned char storage_[argument_count * sizeof(RValue)];

    RValue* kept() { return reinterpret_cast<RValue*>(storage_); }
    void open(ScriptState& s) {
        s_ = &s;
        outer_ = s.argument_frame;
        s.argument_frame = this;
        saved_ = 0;
    }
};

// Sets argument slot i (0 ... 9), keeping its old value for the script call in progress.
inline void set_argument(ScriptState& s, int32_t i, const RValue& v) {
    if (s.argument_frame) s.argument_frame->save(i, s.arguments[size_t(i)]);
    s.arguments[size_t(i)] = v;
}

} // namespace kelvane
