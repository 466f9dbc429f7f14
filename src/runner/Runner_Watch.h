// The watches of `kelvane run --watch`: after every step one line with the step number
// and the value of each watch expression, tab-separated, evaluated as the debug window
// evaluates its watches. For tools and tests that follow a game without a window.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "run/Runner_Debug.h"

namespace kelvane {

struct Runtime;

// A value (UTF-8) as a field of a watch line: backslash, tab, carriage return and line feed are
// written as \\, \t, \r and \n, so that every step stays one line.
std::string watch_field(const std::string& value);

class CWatchOutput {
  public:
    // Writes to `out` (not closed here).
    CWatchOutput(const std::vector<std::string>& expressions, std::FILE* out);
    // Evaluates the watches and writes the line of step `step`.
    void step_done(Runtime& rt, int64_t step);

  private:
    CWatchGrid grid_;
    std::FILE* out_;
};

} // namespace kelvane
