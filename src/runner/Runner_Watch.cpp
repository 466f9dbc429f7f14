// The watch lines of a run.
#include "runner/Runner_Watch.h"

#include "platform/Text_Encoding.h"

namespace kelvane {

std::string watch_field(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += c;
        }
    }
    return out;
}

CWatchOutput::CWatchOutput(const std::vector<std::string>& expressions, std::FILE* out)
    : out_(out) {
    for (const std::string& e : expressions) grid_.add(e);
}

void CWatchOutput::step_done(Runtime& rt, int64_t step) {
    grid_.refresh(rt);
    std::string line = std::to_string(step);
    for (const std::string& v : grid_.values()) line += "\t" + watch_field(cp1252_to_utf8(v));
    line += "\n";
    std::fwrite(line.data(), 1, line.size(), out_);
    std::fflush(out_);
}

} // namespace kelvane
