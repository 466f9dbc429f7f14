// The action record of the game file.
#include "model/Action_Class.h"

namespace kelvane {

namespace {
const std::string empty_text;
}

const std::string& CAction::argument_text(int32_t i) const {
    return i >= 0 && i < 8 ? arguments[size_t(i)] : empty_text;
}

CCode* CAction::argument_code(int32_t i) const {
    return i >= 0 && i < 8 ? codes[size_t(i)].get() : nullptr;
}

bool CAction::read(CStream& s) {
    if (ReadInt(s) != 400) return false;
    size_t at = s.file_offset();
    function = ReadInt(s);
    if (function < 0 || function > max_function)
        throw StreamError("impossible action function " + std::to_string(function), at);
    applies_to = ReadInt(s);
    relative = ReadBool(s);
    at = s.file_offset();
    int32_t m = ReadInt(s);
    if (m > 8) throw StreamError("more than eight action arguments", at);
    stored_arguments = m < 0 ? 0 : m;
    for (int32_t i = 0; i < stored_arguments; ++i) arguments[size_t(i)] = ReadString(s);
    return true;
}

void CAction::write(CStream& s) const {
    WriteInt(s, 400);
    WriteInt(s, function);
    WriteInt(s, applies_to);
    WriteBool(s, relative);
    WriteInt(s, stored_arguments);
    for (int32_t i = 0; i < stored_arguments; ++i) WriteString(s, arguments[size_t(i)]);
}

} // namespace kelvane
