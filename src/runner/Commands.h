// The subcommands of the kelvane program. Each takes the arguments after its own name
// and returns the process exit status; a usage error leaves as a UsageError.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "runner/Command_Line.h"

namespace kelvane {

// Makes the windowed platform (frames folder, or empty) or explains why it cannot; the
// program passes the SDL back end, which the core library does not link.
using WindowedPlatformFactory =
    std::function<std::optional<Platform>(const std::string& frames_dir, std::string* error)>;

int command_run(const Args& args, const WindowedPlatformFactory& make_windowed);
int command_pack(const Args& args);
int command_unpack(const Args& args);
int command_info(const Args& args);
int command_exec(const Args& args);

} // namespace kelvane
