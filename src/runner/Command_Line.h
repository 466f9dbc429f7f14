// Reading a command's arguments: switches, options with a value ("--name value" or
// "--name=value"), plain arguments, and the usage errors that end a command with status 2.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

using Args = std::vector<std::string>;

// Exit status of a command called the wrong way.
constexpr int exit_usage = 2;

// A command called the wrong way; the program prints it on one line and exits with 2.
class UsageError : public std::runtime_error {
  public:
    UsageError(const std::string& command, const std::string& message)
        : std::runtime_error(message), command(command) {}
    std::string command;
};

// Walks a command's arguments once. A command reads them in a loop:
//
//   CommandLine cl("run", args);
//   while (cl.next()) {
//       if (cl.flag("--headless")) o.headless = true;
//       else if (cl.option("--frames", o.frames_dir)) {}
//       else if (cl.number("--steps", n, 0, INT64_MAX)) o.steps = n;
//       else if (cl.plain()) o.game = cl.arg();
//       else cl.unknown();
//   }
//
// so adding an option is one more line here, one in the help text and one in the docs.
class CommandLine {
  public:
    CommandLine(std::string command, const Args& args);

    // Moves to the next argument; false when none is left.
    bool next();
    // The current argument as written.
    const std::string& arg() const { return args_[i_]; }
    // True when the current argument is the switch `name`, which takes no value.
    bool flag(std::string_view name);
    // True when the current argument is the option `name`; its value goes to `value`.
    bool option(std::string_view name, std::string& value);
    // The same for a whole-number value, which must lie in [min, max].
    bool number(std::string_view name, int64_t& value, int64_t min, int64_t max);
    // True when the current argument is no option (a file, a folder, or "-").
    bool plain() const;
    // True when the current argument is "--": the arguments after it are `rest()`.
    bool end_of_options() const { return arg() == "--"; }
    // The arguments after the current one; the walk then ends.
    Args rest();
    // Ends the command with a usage error.
    [[noreturn]] void fail(const std::string& message) const;
    // Ends the command with "unknown option" for the current argument.
    [[noreturn]] void unknown() const;

  private:
    std::string command_;
    const Args& args_;
    size_t i_ = 0;
    bool started_ = false;
    // Whether the current argument is `name` itself or "name=VALUE" (a long option).
    bool matches(std::string_view name, bool& inline_value) const;
};

// The command's name closest to a mistyped one, or empty when none is close.
std::string closest_name(const std::string& typed, const std::vector<std::string>& names);

} // namespace kelvane
