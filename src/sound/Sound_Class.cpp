// The sound record of the game file.
#include "sound/Sound_Class.h"

namespace kelvane {

bool CSound::read(CStream& s) {
    if (ReadInt(s) != 400) return false;
    kind = ReadInt(s);
    file_type = ReadString(s);
    data.reset();
    if (kind != sound_none) {
        CStream block = ReadBlock(s);
        data = block.take_bytes();
    }
    effects = ReadBool(s);
    buffers = ReadInt(s);
    loadonuse = ReadBool(s);
    return true;
}

void CSound::write(CStream& s) const {
    WriteInt(s, 400);
    WriteInt(s, kind);
    WriteString(s, file_type);
    if (kind != sound_none) WriteBlock(s, data ? *data : std::vector<uint8_t>{});
    WriteBool(s, effects);
    WriteInt(s, buffers);
    WriteBool(s, loadonuse);
}

} // namespace kelvane
