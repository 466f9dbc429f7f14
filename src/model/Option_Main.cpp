// Reading and writing the game options record.
#include "model/Option_Main.h"

#include <type_traits>

namespace kelvane {

namespace {
constexpr int32_t options_version = 420;

std::optional<Bitmap24> read_picture(CStream& s) {
    return ReadImage(s);
}
} // namespace

bool GameOptions::read(CStream& s) {
    *this = GameOptions();
    if (ReadInt(s) != options_version) return false;
    bool ok = true;
    for_each_option(*this, [&](const char* name, auto& field) {
        using T = std::decay_t<decltype(field)>;
        if constexpr (std::is_same_v<T, bool>)
            field = ReadBool(s);
        else if constexpr (std::is_same_v<T, int32_t>)
            field = ReadInt(s);
        else if constexpr (std::is_same_v<T, std::string>)
            field = ReadString(s);
        else
            field = ReadBlock(s).take_bytes();
        // Pictures follow their options at once.
        std::string n = name;
        if (n == "score_image" && score_image) score_background = read_picture(s);
        if (n == "load_bar" && load_bar == 2) {
            load_bar_back = read_picture(s);
            load_bar_front = read_picture(s);
        }
        if (n == "load_image_on" && load_image_on) load_image = read_picture(s);
    });
    return ok;
}

void GameOptions::write(CStream& s) const {
    WriteInt(s, options_version);
    for_each_option(*this, [&](const char* name, const auto& field) {
        using T = std::decay_t<decltype(field)>;
        if constexpr (std::is_same_v<T, bool>)
            WriteBool(s, field);
        else if constexpr (std::is_same_v<T, int32_t>)
            WriteInt(s, field);
        else if constexpr (std::is_same_v<T, std::string>)
            WriteString(s, field);
        else
            WriteBlock(s, field);
        std::string n = name;
        if (n == "score_image" && score_image) WriteImage(s, score_background);
        if (n == "load_bar" && load_bar == 2) {
            WriteImage(s, load_bar_back);
            WriteImage(s, load_bar_front);
        }
        if (n == "load_image_on" && load_image_on) WriteImage(s, load_image);
    });
}

} // namespace kelvane
