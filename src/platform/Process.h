// Starting other programs: a Windows-style command line run as a new process, optionally
// waited for while the caller keeps its window alive, and documents opened with the
// desktop's default application.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace kelvane {

// Splits a command line the way Windows programs split theirs: blanks separate
// arguments, double quotes group, a backslash before a quote escapes it.
std::vector<std::string> split_command_line(const std::string& line);

// Starts argv[0] (looked up in PATH when it has no slash) with the arguments; nullopt when
// it cannot be started.
std::optional<pid_t> start_program(const std::vector<std::string>& argv);

// Waits until the process ends, calling `every_50ms` in between so the caller can keep its
// window responsive.
void wait_program(pid_t pid, const std::function<void()>& every_50ms);

// Opens a file or address with the desktop's default application (xdg-open); false when
// that cannot be started.
bool open_with_desktop(const std::string& target, const std::vector<std::string>& args);

// Whether a process with this id exists (running, or not ours to signal).
bool process_alive(long pid);

// A text that names one process for as long as the system runs: its id and the time it
// started, so a later process given the same id is told apart. Empty when there is none.
std::string process_identity(long pid);

} // namespace kelvane
