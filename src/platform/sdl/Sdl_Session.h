// SDL started once for all the back end's parts, and stopped when the last part goes.
#pragma once

#include <memory>

namespace kelvane {

struct SdlSession {
    SdlSession() = default;
    SdlSession(const SdlSession&) = delete;
    SdlSession& operator=(const SdlSession&) = delete;
    ~SdlSession();
};

using SdlSessionRef = std::shared_ptr<SdlSession>;

} // namespace kelvane
