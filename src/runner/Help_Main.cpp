// The game information section.
#include "runner/Help_Main.h"

namespace kelvane {

bool GameInformation::read(CStream& s) {
    *this = GameInformation();
    int32_t version = ReadInt(s);
    if (version != 400 && version != 430) return false;
    color = ReadInt(s);
    help_in_window = version == 430 ? ReadBool(s) : false;
    CStream block = ReadBlock(s);
    auto bytes = block.take_bytes();
    text.assign(bytes.begin(), bytes.end());
    return true;
}

void GameInformation::write(CStream& s) const {
    WriteInt(s, 430);
    WriteInt(s, color);
    WriteBool(s, help_in_window);
    WriteBlock(s, std::vector<uint8_t>(text.begin(), text.end()));
}

} // namespace kelvane
