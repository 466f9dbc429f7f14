// The script record of the game file.
#include "code/Script_Class.h"

namespace kelvane {

bool CScript::read(CStream& s) {
    if (ReadInt(s) != 400) return false;
    code = ReadString(s);
    return true;
}

void CScript::write(CStream& s) const {
    WriteInt(s, 400);
    WriteString(s, code);
}

} // namespace kelvane
