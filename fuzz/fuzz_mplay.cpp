// fuzz-options: -max_len=12000 -rss_limit_mb=1024 -timeout=10
// libFuzzer target: everything a runner decodes from the network. Each input goes to every
// decoder (payload, envelope, system message, session query and answer); whatever one of
// them accepts must encode back to exactly the same bytes, and a payload it accepts goes
// through the message queue and the shared data as a received one would.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "multiplayer/DPlay_Low.h"
#include "multiplayer/DPlay_Shared.h"

using namespace kelvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::span<const uint8_t> in(data, size);
    auto same = [&](const std::vector<uint8_t>& out, std::span<const uint8_t> from) {
        if (out.size() != from.size() || !std::equal(out.begin(), out.end(), from.begin()))
            std::abort();
    };
    static CMessageQueue queue;
    static SharedData shared;
    int32_t player = 0;
    std::span<const uint8_t> payload;
    if (unwrap_payload(in, player, payload)) {
        if (auto r = decode_payload(payload)) {
            auto back = encode_payload(r->message, r->id, r->value);
            if (!back) std::abort();
            same(*back, payload);
            r->sender = player;
            if (r->message) {
                queue.append(*r);
                RMessageRecord taken;
                if (queue.count(player) > 0 && !queue.take(player, taken)) std::abort();
                if (queue.size() > CMessageQueue::capacity) std::abort();
            } else {
                shared.set(r->id, r->value);
            }
        }
    }
    if (auto m = decode_system(in)) same(encode_system(*m), in);
    if (auto g = decode_query(in)) same(encode_query(*g), in);
    if (auto a = decode_answer(in)) same(encode_answer(*a), in);
    return 0;
}
