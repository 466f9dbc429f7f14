// The summaries printed by `kelvane info`.
#include "project/Project_Summary.h"

#include <sstream>

#include "platform/Text_Encoding.h"

namespace kelvane {

namespace {

class SummarySink : public GameJsonSink {
  public:
    std::string stem(const std::string&, const std::string&) override { return {}; }
    Json picture(const Bitmap24& image, const std::string&) override {
        Json j{{"width", image.width}, {"height", image.height}};
        // How the game file stores it: 0 bitmap, 1 run-length, 2 run-length with palette.
        if (image.stored && image.stored->size() >= 4)
            j["scheme"] =
                int32_t(uint32_t((*image.stored)[0]) | uint32_t((*image.stored)[1]) << 8 |
                        uint32_t((*image.stored)[2]) << 16 | uint32_t((*image.stored)[3]) << 24);
        return j;
    }
    Json data(const std::vector<uint8_t>& bytes, const std::string&) override {
        return Json{{"size", bytes.size()}};
    }
    Json code(const std::string& text, const std::string&) override { return cp1252_to_utf8(text); }
    Json rich_text(const std::string& text, const std::string&) override {
        return cp1252_to_utf8(text);
    }
    Json empty_slot(const std::string&) override { return nullptr; }
};

const char* yes_no(bool b) {
    return b ? "true" : "false";
}

template <typename T, typename Describe>
void list_text(std::ostream& out, const char* title, const ResourceList<T>& list,
               Describe describe) {
    out << title << " (" << list.count() << "):\n";
    for (int32_t i = 0; i < list.count(); ++i) {
        out << "  " << i << "  ";
        if (!list.exists(i)) {
            out << "(empty)\n";
            continue;
        }
        out << cp1252_to_utf8(list.stored_name(i));
        std::string details = describe(*list.get(i));
        if (!details.empty()) out << "  " << details;
        out << "\n";
    }
}

std::string size_text(int32_t w, int32_t h) {
    return std::to_string(w) + " x " + std::to_string(h);
}

std::string plural(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

Json game_summary_json(const Game& game) {
    SummarySink sink;
    Json body = game_to_json(game, sink);
    Json out;
    out["version"] = body["version"];
    out["seed"] = game.header.seed;
    for (auto& [key, value] : body.items())
        if (key != "version") out[key] = std::move(value);
    return out;
}

std::string game_summary_text(const Game& g) {
    std::ostringstream out;
    out << "version " << g.header.version << ", seed " << g.header.seed << ", game id "
        << g.header.game_id << ", debug " << g.header.debug
        << (g.header.debug_flag() ? " (on)" : " (off)") << "\n";
    out << "options:\n";
    for_each_option(g.options, [&](const char* name, const auto& field) {
        using F = std::decay_t<decltype(field)>;
        out << "  " << name << " = ";
        if constexpr (std::is_same_v<F, bool>)
            out << yes_no(field);
        else if constexpr (std::is_same_v<F, std::string>)
            out << '"' << cp1252_to_utf8(field) << '"';
        else if constexpr (std::is_same_v<F, std::vector<uint8_t>>)
            out << (field.empty() ? std::string("none") : plural(field.size(), "byte", "bytes"));
        else
            out << field;
        out << "\n";
    });
    list_text(out, "sounds", g.sounds, [](const CSound& s) {
        std::string d = "kind " + std::to_string(s.kind);
        if (!s.file_type.empty()) d += " (" + cp1252_to_utf8(s.file_type) + ")";
        if (s.data) d += ", " + plural(s.data->size(), "byte", "bytes");
        return d;
    });
    list_text(out, "sprites", g.sprites, [](const CSprite& s) {
        return size_text(s.width, s.height) + ", " + plural(s.frames.size(), "frame", "frames");
    });
    list_text(out, "backgrounds", g.backgrounds, [](const CBackground& b) {
        return size_text(b.width, b.height) + (b.image ? "" : ", no image");
    });
    list_text(out, "paths", g.paths, [](const CPath& p) {
        return plural(p.points.size(), "point", "points") + (p.kind ? ", smooth" : ", straight") +
               ", end " + std::to_string(p.end);
    });
    list_text(out, "scripts", g.scripts,
              [](const CScript& s) { return plural(s.code.size(), "character", "characters"); });
    list_text(out, "objects", g.objects, [&](const CObject& o) {
        size_t events = 0;
        for (const auto& list : o.events) events += list.size();
        return "sprite " + std::to_string(o.sprite) + ", parent " + std::to_string(o.parent) +
               ", " + plural(events, "event", "events");
    });
    list_text(out, "rooms", g.rooms, [](const CRoom& r) {
        return size_text(r.width, r.height) + ", speed " + std::to_string(r.speed) + ", " +
               plural(r.placed.size(), "instance", "instances") + ", " +
               plural(r.tiles.size(), "tile", "tiles");
    });
    out << "room order:";
    for (int32_t r : g.room_order)
        out << " " << r << " (" << cp1252_to_utf8(g.rooms.name(r)) << ")";
    out << "\ngame information: " << plural(g.information.text.size(), "byte", "bytes")
        << " of rich text\n";
    return out.str();
}

} // namespace kelvane
