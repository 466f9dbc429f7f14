// The subcommands of the kelvane program. Each takes the arguments after its own name
// and returns the process exit status.
#pragma once

#include <string>
#include <vector>

namespace kelvane {

using Args = std::vector<std::string>;

int command_run(const Args& args);
int command_pack(const Args& args);
int command_unpack(const Args& args);
int command_info(const Args& args);
int command_exec(const Args& args);

} // namespace kelvane
