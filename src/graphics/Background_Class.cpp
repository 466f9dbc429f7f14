// The background record of the game file.
#include "graphics/Background_Class.h"

namespace kelvane {

bool CBackground::read(CStream& s, std::vector<std::string>* warnings) {
    if (ReadInt(s) != 400) return false;
    width = ReadInt(s);
    height = ReadInt(s);
    transparent = ReadBool(s);
    videomem = ReadBool(s);
    loadonuse = ReadBool(s);
    image.reset();
    if (ReadBool(s)) {
        bool unknown = false;
        image = ReadImage(s, &unknown);
        if (unknown && warnings)
            warnings->push_back("Internal error: Unknown image compression scheme.");
    }
    return true;
}

void CBackground::write(CStream& s) const {
    WriteInt(s, 400);
    WriteInt(s, width);
    WriteInt(s, height);
    WriteBool(s, transparent);
    WriteBool(s, videomem);
    WriteBool(s, loadonuse);
    WriteBool(s, image.has_value());
    if (image) WriteImage(s, image);
}

} // namespace kelvane
