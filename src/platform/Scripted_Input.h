// Scripted input for headless runs: the `--input FILE` format (one event a line,
// "STEP EVENT ARGS") read into events, and their delivery to the window's input handlers.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace kelvane {

// Reads the text of an input file (UTF-8). Empty lines and lines starting with '#' are
// skipped. Nullopt on the first bad line, with "line N: why" in `error`. Events come back
// ordered by step, keeping the file's order within a step.
std::optional<std::vector<RScriptedEvent>> parse_scripted_input(const std::string& text,
                                                                std::string* error);

// Reads and parses an input file; nullopt with the reason when it cannot be read or has
// a bad line.
std::optional<std::vector<RScriptedEvent>> read_scripted_input_file(const std::string& path,
                                                                    std::string* error);

// Delivers the events of one step, in order, to the sink; a mouse move changes the
// cursor position instead. `next` is the index of the first event not yet delivered and
// moves past the delivered ones (events of earlier steps are delivered too).
void deliver_scripted_input(const std::vector<RScriptedEvent>& events, size_t& next, int64_t step,
                            InputSink& sink, int32_t& mouse_x, int32_t& mouse_y);

} // namespace kelvane
