// The game information section.
#include "model/Help_Main.h"

namespace kelvane {

bool GameInformation::read(CStream& s) {
    *this = GameInformation();
    version = ReadInt(s);
    if (version != 400 && version != 430) return false;
    color = ReadInt(s);
    help_in_window = version == 430 ? ReadBool(s) : false;
    CStream block = ReadBlock(s);
    auto bytes = block.take_bytes();
    text.assign(bytes.begin(), bytes.end());
    return true;
}

void GameInformation::write(CStream& s) const {
    int32_t v = help_in_window ? 430 : version;
    WriteInt(s, v);
    WriteInt(s, color);
    if (v == 430) WriteBool(s, help_in_window);
    WriteBlock(s, std::vector<uint8_t>(text.begin(), text.end()));
}

} // namespace kelvane
