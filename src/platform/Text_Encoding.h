// Conversion between game strings (8-bit Windows-1252) and UTF-8 at the edges where text
// leaves or enters the program: project files, file names and captions shown to the user.
// Every byte value converts and comes back unchanged, the five unassigned ones included.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kelvane {

// Each byte becomes one character; the unassigned bytes 0x81, 0x8D, 0x8F, 0x90 and 0x9D
// become the control characters U+0081, U+008D, U+008F, U+0090 and U+009D.
std::string cp1252_to_utf8(std::string_view bytes);
// The Unicode character of one Windows-1252 byte, by the same rule.
char32_t cp1252_char(unsigned char byte);

// The inverse. Fails (nullopt, with a reason in `error`) on malformed UTF-8 or on a
// character that has no Windows-1252 byte.
std::optional<std::string> utf8_to_cp1252(std::string_view utf8, std::string* error = nullptr);

// Code counts lines by carriage returns, as the game's own files hold them; code written
// on Linux ends its lines with a lone line feed. This turns every line feed that has no
// carriage return before it into CR LF; text that already has CR LF stays as it is.
std::string crlf_line_ends(std::string_view text);
// True when some line feed has no carriage return before it.
bool has_lone_line_feed(std::string_view text);

} // namespace kelvane
