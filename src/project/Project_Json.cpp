// The JSON form of a game: every record's fields written out, and read back with
// defaults, references by name and strict checks (unknown keys and wrong types are
// errors, so a typo never passes silently).
#include "project/Project_Json.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <span>

#include "code/Code_Constant.h"
#include "platform/Text_Encoding.h"
#include "project/Project_Image.h"
#include "project/Project_Main.h"

namespace kelvane {

namespace {

constexpr const char* type_names[event_type_count] = {"create",    "destroy",  "alarm",     "step",
                                                      "collision", "keyboard", "mouse",     "other",
                                                      "draw",      "keypress", "keyrelease"};

// The action function that runs its first argument as code.
constexpr int32_t code_action_function = 34;

} // namespace

const char* event_type_name(int32_t type) {
    return type >= 0 && type < event_type_count ? type_names[type] : "unknown";
}

namespace {

struct RNumberWord {
    const char* word;
    int32_t number;
};

// Words of step, mouse and other events, in their numbers' order.
constexpr RNumberWord step_words[] = {{"normal", 0}, {"begin", 1}, {"end", 2}};
constexpr RNumberWord mouse_words[] = {
    {"left_button", 0},   {"right_button", 1},  {"middle_button", 2}, {"no_button", 3},
    {"left_press", 4},    {"right_press", 5},   {"middle_press", 6},  {"left_release", 7},
    {"right_release", 8}, {"middle_release", 9}};
constexpr RNumberWord other_words[] = {
    {"outside", 0},    {"boundary", 1}, {"game_start", 2},    {"game_end", 3},
    {"room_start", 4}, {"room_end", 5}, {"no_more_lives", 6}, {"animation_end", 7},
    {"user0", 10},     {"user1", 11},   {"user2", 12},        {"user3", 13},
    {"user4", 14},     {"user5", 15},   {"user6", 16},        {"user7", 17}};

bool is_key_event(int32_t type) {
    return type == ev_keyboard || type == ev_keypress || type == ev_keyrelease;
}

std::span<const RNumberWord> number_words(int32_t type) {
    if (type == ev_step) return step_words;
    if (type == ev_mouse) return mouse_words;
    if (type == ev_other) return other_words;
    return {};
}

// A key code's word: letters and digits by themselves, the rest by their key constant's
// name without "vk_" (the first of two names for one code).
std::string key_word(int32_t code) {
    if (code == 0) return "nokey";
    if (code == 1) return "anykey";
    if (code >= 'A' && code <= 'Z') return std::string(1, char(code - 'A' + 'a'));
    if (code >= '0' && code <= '9') return "digit" + std::string(1, char(code));
    for (const RConstant& c : constant_table())
        if (c.name.starts_with("vk_") && c.value == code && c.name != "vk_nokey")
            return std::string(c.name.substr(3));
    return "";
}

} // namespace

std::string event_number_word(int32_t type, int32_t number) {
    if (is_key_event(type)) return key_word(number);
    for (const RNumberWord& w : number_words(type))
        if (w.number == number) return w.word;
    return "";
}

int32_t event_number_from_word(int32_t type, const std::string& word) {
    if (is_key_event(type)) {
        if (word == "nokey") return 0;
        if (word == "anykey") return 1;
        if (word.size() == 1 && word[0] >= 'a' && word[0] <= 'z') return word[0] - 'a' + 'A';
        if (word.size() == 6 && word.starts_with("digit") && word[5] >= '0' && word[5] <= '9')
            return word[5];
        if (auto v = find_constant("vk_" + word); v && *v > 1) return int32_t(*v);
        return -1;
    }
    for (const RNumberWord& w : number_words(type))
        if (word == w.word) return w.number;
    return -1;
}

std::string event_number_words(int32_t type) {
    if (is_key_event(type))
        return "a key: a ... z, digit0 ... digit9, left, enter, f1, nokey, anykey ...";
    std::string out;
    for (const RNumberWord& w : number_words(type))
        out += (out.empty() ? "" : ", ") + std::string(w.word);
    return out;
}

// ---------------------------------------------------------------------------------------
// Writing

namespace {

Json text(const std::string& s) {
    return cp1252_to_utf8(s);
}

// Reals that JSON cannot hold (infinities, NaN) are kept as their 64 bits in hex.
Json real(double v) {
    if (std::isfinite(v)) return v;
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%016llx",
                  static_cast<unsigned long long>(std::bit_cast<uint64_t>(v)));
    return buf;
}

int32_t stored_int(double v) {
    return static_cast<int32_t>(std::nearbyint(v));
}

Json picture_json(const std::optional<Bitmap24>& image, const std::string& file,
                  GameJsonSink& sink) {
    if (!image) return nullptr;
    // A picture stored with no pixels keeps its size.
    if (image->empty()) return Json{{"width", image->width}, {"height", image->height}};
    return sink.picture(*image, file);
}

// The extension for a sound's file, from its stored file type when that is a plain one.
std::string sound_extension(const std::string& file_type) {
    if (file_type.size() < 2 || file_type.size() > 9 || file_type[0] != '.') return ".bin";
    for (size_t i = 1; i < file_type.size(); ++i) {
        char c = file_type[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return ".bin";
    }
    return file_type;
}

template <typename T, typename Record>
Json list_json(const ResourceList<T>& list, const char* folder, GameJsonSink& sink, Record record) {
    Json out = Json::array();
    for (int32_t i = 0; i < list.count(); ++i) {
        if (!list.exists(i)) {
            out.push_back(sink.empty_slot(list.stored_name(i)));
            continue;
        }
        Json j;
        j["name"] = text(list.stored_name(i));
        record(*list.get(i), j, sink.stem(folder, list.stored_name(i)));
        out.push_back(std::move(j));
    }
    return out;
}

Json options_json(const GameOptions& o, GameJsonSink& sink) {
    Json j;
    std::string stem = sink.stem("", "options");
    for_each_option(o, [&](const char* name, const auto& field) {
        using F = std::decay_t<decltype(field)>;
        if constexpr (std::is_same_v<F, std::string>)
            j[name] = text(field);
        else if constexpr (std::is_same_v<F, std::vector<uint8_t>>)
            j[name] = field.empty() ? Json(nullptr) : sink.data(field, stem + "/game_icon.ico");
        else
            j[name] = field;
    });
    // The pictures that follow their options in the file.
    if (o.score_image)
        j["score_background"] =
            picture_json(o.score_background, stem + "/score_background.png", sink);
    if (o.load_bar == 2) {
        j["load_bar_back"] = picture_json(o.load_bar_back, stem + "/load_bar_back.png", sink);
        j["load_bar_front"] = picture_json(o.load_bar_front, stem + "/load_bar_front.png", sink);
    }
    if (o.load_image_on)
        j["load_image"] = picture_json(o.load_image, stem + "/load_image.png", sink);
    return j;
}

void sound_json(const CSound& s, Json& j, const std::string& stem, GameJsonSink& sink) {
    j["kind"] = s.kind;
    j["file_type"] = text(s.file_type);
    j["data"] = s.kind == sound_none ? Json(nullptr)
                                     : sink.data(s.data ? *s.data : std::vector<uint8_t>{},
                                                 stem + sound_extension(s.file_type));
    j["buffers"] = s.buffers;
    j["effects"] = s.effects;
    j["loadonuse"] = s.loadonuse;
}

void sprite_json(const CSprite& s, Json& j, const std::string& stem, GameJsonSink& sink) {
    j["width"] = s.width;
    j["height"] = s.height;
    j["transparent"] = s.transparent;
    j["bbox_mode"] = s.bbox_mode;
    j["bbox_left"] = s.bbox_left;
    j["bbox_top"] = s.bbox_top;
    j["bbox_right"] = s.bbox_right;
    j["bbox_bottom"] = s.bbox_bottom;
    j["precise"] = s.precise;
    j["videomem"] = s.videomem;
    j["loadonuse"] = s.loadonuse;
    j["xoffset"] = s.xoffset;
    j["yoffset"] = s.yoffset;
    j["number"] = static_cast<int32_t>(s.frames.size());
    Json frames = Json::array();
    for (size_t k = 0; k < s.frames.size(); ++k)
        frames.push_back(s.frames[k].empty()
                             ? Json(nullptr)
                             : sink.picture(s.frames[k], stem + "/" + std::to_string(k) + ".png"));
    j["frames"] = std::move(frames);
}

void background_json(const CBackground& b, Json& j, const std::string& stem, GameJsonSink& sink) {
    j["width"] = b.width;
    j["height"] = b.height;
    j["transparent"] = b.transparent;
    j["videomem"] = b.videomem;
    j["loadonuse"] = b.loadonuse;
    j["image"] = picture_json(b.image, stem + ".png", sink);
}

void path_json(const CPath& p, Json& j) {
    j["kind"] = p.kind;
    j["end"] = p.end;
    j["precision"] = p.precision;
    Json points = Json::array();
    for (const auto& pt : p.points)
        points.push_back(Json::array({real(pt.x), real(pt.y), real(pt.speed)}));
    j["points"] = std::move(points);
}

// A reference to a resource by its name, which reads back to the same id; by its id when
// the name would not (no resource there, no name, or an earlier one of the same name).
template <typename T> Json named(const ResourceList<T>& list, int32_t id, bool by_name = true) {
    if (!by_name || !list.exists(id)) return id;
    const std::string& name = list.stored_name(id);
    if (name.empty() || list.find(name) != id) return id;
    return text(name);
}

// The part of a code file's name that says which event it belongs to: the other object
// of a collision by its name, a key or the kind of a step, mouse or other event by its
// word, any other event by its number.
std::string event_stem(const Game& g, int32_t type, int32_t number) {
    std::string stem = std::string(type_names[type]) + "-";
    if (std::string word = event_number_word(type, number); !word.empty()) return stem + word;
    Json with = type == ev_collision ? named(g.objects, number) : Json(number);
    if (!with.is_string()) return stem + std::to_string(number);
    // Names become file names: only letters, digits, '_' and '-' stay as they are.
    std::string name = cp1252_to_utf8(g.objects.stored_name(number));
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-') c = '_';
    return stem + name;
}

void object_json(const Game& g, const CObject& o, Json& j, const std::string& stem,
                 GameJsonSink& sink) {
    j["record_version"] = o.version;
    if (o.version == 430 && o.last_event_type != event_type_count - 1)
        j["last_event_type"] = o.last_event_type;
    j["sprite"] = named(g.sprites, o.sprite, sink.by_name());
    j["solid"] = o.solid;
    j["visible"] = o.visible;
    j["depth"] = o.depth;
    j["persistent"] = o.persistent;
    j["parent"] = named(g.objects, o.parent, sink.by_name());
    j["mask"] = named(g.sprites, o.mask, sink.by_name());
    Json events = Json::array();
    for (int32_t t = 0; t < event_type_count; ++t) {
        for (const auto& [number, e] : o.events[size_t(t)]) {
            Json actions = Json::array();
            for (size_t k = 0; k < e.actions.size(); ++k) {
                const CAction& a = e.actions[k];
                Json args = Json::array();
                for (int32_t i = 0; i < a.stored_arguments; ++i) {
                    const std::string& arg = a.arguments[size_t(i)];
                    if (a.function == code_action_function && i == 0)
                        args.push_back(sink.code(arg, stem + "/" + event_stem(g, t, number) + "-" +
                                                          std::to_string(k) + ".kvs"));
                    else
                        args.push_back(text(arg));
                }
                actions.push_back(
                    Json{{"function", a.function},
                         {"applies_to", named(g.objects, a.applies_to, sink.by_name())},
                         {"relative", a.relative},
                         {"arguments", std::move(args)}});
            }
            Json event;
            if (!sink.by_name())
                event = Json{{"type", t}, {"number", number}};
            else if (t == ev_collision)
                event = Json{{"event", type_names[t]}, {"with", named(g.objects, number)}};
            else if (std::string word = event_number_word(t, number); !word.empty())
                event = Json{{"event", type_names[t]}, {"number", word}};
            else
                event = Json{{"event", type_names[t]}, {"number", number}};
            event["actions"] = std::move(actions);
            events.push_back(std::move(event));
        }
    }
    j["events"] = std::move(events);
}

void room_json(const Game& g, const CRoom& r, Json& j, const std::string& stem,
               GameJsonSink& sink) {
    j["caption"] = text(r.caption);
    j["width"] = r.width;
    j["height"] = r.height;
    j["speed"] = r.speed;
    j["stored_ints"] = Json::array({r.stored_int1, r.stored_int2});
    j["persistent"] = r.persistent;
    j["background_color"] = r.background_color;
    j["background_showcolor"] = r.background_showcolor;
    j["creation_code"] = sink.code(r.creation_code, stem + ".kvs");
    Json layers = Json::array();
    for (int32_t i = 0; i < r.background_count(); ++i) {
        const auto& b = r.backgrounds[size_t(i)];
        layers.push_back(Json{{"visible", b.visible},
                              {"foreground", b.foreground},
                              {"index", named(g.backgrounds, b.index, sink.by_name())},
                              {"x", stored_int(b.x)},
                              {"y", stored_int(b.y)},
                              {"htiled", b.htiled},
                              {"vtiled", b.vtiled},
                              {"hspeed", stored_int(b.hspeed)},
                              {"vspeed", stored_int(b.vspeed)}});
    }
    j["backgrounds"] = std::move(layers);
    j["view_enabled"] = r.view_enabled;
    Json views = Json::array();
    for (int32_t i = 0; i < r.view_count(); ++i) {
        const auto& v = r.views[size_t(i)];
        views.push_back(Json{{"visible", v.visible},
                             {"left", v.left},
                             {"top", v.top},
                             {"width", v.width},
                             {"height", v.height},
                             {"x", v.x},
                             {"y", v.y},
                             {"hborder", v.hborder},
                             {"vborder", v.vborder},
                             {"hspeed", v.hspeed},
                             {"vspeed", v.vspeed},
                             {"object", named(g.objects, v.object, sink.by_name())}});
    }
    j["views"] = std::move(views);
    Json instances = Json::array();
    for (const auto& in : r.placed)
        instances.push_back(Json{{"x", in.x},
                                 {"y", in.y},
                                 {"object", named(g.objects, in.object, sink.by_name())},
                                 {"id", in.id}});
    j["instances"] = std::move(instances);
    Json tiles = Json::array();
    for (const auto& t : r.tiles)
        tiles.push_back(Json{{"x", stored_int(t.x)},
                             {"y", stored_int(t.y)},
                             {"background", named(g.backgrounds, t.background, sink.by_name())},
                             {"left", t.left},
                             {"top", t.top},
                             {"width", t.width},
                             {"height", t.height},
                             {"depth", stored_int(t.depth)},
                             {"id", t.id}});
    j["tiles"] = std::move(tiles);
}

std::string hex(const std::array<uint8_t, 16>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

} // namespace

Json game_to_json(const Game& g, GameJsonSink& sink) {
    Json j;
    j["version"] = g.header.version;
    j["debug"] = g.header.debug;
    j["game_id"] = g.header.game_id;
    j["identifier"] = hex(g.header.identifier);
    j["options"] = options_json(g.options, sink);
    j["sounds"] =
        list_json(g.sounds, "sounds", sink, [&](const CSound& s, Json& r, const std::string& stem) {
            sound_json(s, r, stem, sink);
        });
    j["sprites"] = list_json(
        g.sprites, "sprites", sink,
        [&](const CSprite& s, Json& r, const std::string& stem) { sprite_json(s, r, stem, sink); });
    j["backgrounds"] = list_json(g.backgrounds, "backgrounds", sink,
                                 [&](const CBackground& b, Json& r, const std::string& stem) {
                                     background_json(b, r, stem, sink);
                                 });
    j["paths"] = list_json(g.paths, "paths", sink,
                           [&](const CPath& p, Json& r, const std::string&) { path_json(p, r); });
    j["scripts"] = list_json(g.scripts, "scripts", sink,
                             [&](const CScript& s, Json& r, const std::string& stem) {
                                 r["code"] = sink.code(s.code, stem + ".kvs");
                             });
    j["objects"] = list_json(g.objects, "objects", sink,
                             [&](const CObject& o, Json& r, const std::string& stem) {
                                 object_json(g, o, r, stem, sink);
                             });
    j["rooms"] =
        list_json(g.rooms, "rooms", sink, [&](const CRoom& room, Json& r, const std::string& stem) {
            room_json(g, room, r, stem, sink);
        });
    j["last_instance_id"] = g.last_instance_id;
    j["last_tile_id"] = g.last_tile_id;
    j["information"] =
        Json{{"version", g.information.version},
             {"color", g.information.color},
             {"help_in_window", g.information.help_in_window},
             {"text", sink.rich_text(g.information.text, sink.stem("", "information") + ".rtf")}};
    Json order = Json::array();
    for (int32_t id : g.room_order) order.push_back(named(g.rooms, id, sink.by_name()));
    j["room_order"] = std::move(order);
    j["room_order_version"] = g.room_order_version;
    return j;
}

// ---------------------------------------------------------------------------------------
// Reading

namespace {

[[noreturn]] void fail(const std::string& where, const std::string& what) {
    throw ProjectError(where + ": " + what);
}

std::string join(const std::string& where, const std::string& key) {
    return where.empty() ? key : where + "." + key;
}

std::string item(const std::string& where, size_t i) {
    return where + "[" + std::to_string(i) + "]";
}

int32_t as_int(const Json& v, const std::string& where) {
    if (v.is_number_unsigned()) {
        if (v.get<uint64_t>() <= uint64_t(INT32_MAX)) return int32_t(v.get<uint64_t>());
    } else if (v.is_number_integer()) {
        int64_t i = v.get<int64_t>();
        if (i >= INT32_MIN && i <= INT32_MAX) return int32_t(i);
    }
    fail(where, "must be a whole number from -2147483648 to 2147483647");
}

bool as_bool(const Json& v, const std::string& where) {
    if (!v.is_boolean()) fail(where, "must be true or false");
    return v.get<bool>();
}

double as_real(const Json& v, const std::string& where) {
    if (v.is_number()) return v.get<double>();
    if (v.is_string()) {
        const std::string& s = v.get_ref<const std::string&>();
        unsigned long long bits = 0;
        int used = 0;
        if (s.size() == 18 && std::sscanf(s.c_str(), "0x%16llx%n", &bits, &used) == 1 && used == 18)
            return std::bit_cast<double>(static_cast<uint64_t>(bits));
    }
    fail(where, "must be a number (or a real's 64 bits as \"0x\" and 16 hex digits)");
}

std::string as_text(const Json& v, const std::string& where) {
    if (!v.is_string()) fail(where, "must be a text");
    std::string error;
    auto bytes = utf8_to_cp1252(v.get_ref<const std::string&>(), &error);
    if (!bytes) fail(where, error);
    return *bytes;
}

const Json& as_array(const Json& v, const std::string& where) {
    if (!v.is_array()) fail(where, "must be a list");
    return v;
}

// The fields of one JSON object; every key must be taken, so unknown keys are reported.
class Fields {
  public:
    Fields(const Json& j, std::string where) : j_(j), where_(std::move(where)) {
        if (!j_.is_object()) fail(where_.empty() ? "manifest" : where_, "must be a JSON object");
    }
    const std::string& where() const { return where_; }
    std::string at(const std::string& key) const { return join(where_, key); }
    const Json* get(const std::string& key) {
        used_.insert(key);
        auto it = j_.find(key);
        return it == j_.end() ? nullptr : &*it;
    }
    const Json& need(const std::string& key) {
        const Json* v = get(key);
        if (!v) fail(where_.empty() ? "manifest" : where_, "'" + key + "' is missing");
        return *v;
    }
    void read(const std::string& key, int32_t& field) {
        if (const Json* v = get(key)) field = as_int(*v, at(key));
    }
    void read(const std::string& key, bool& field) {
        if (const Json* v = get(key)) field = as_bool(*v, at(key));
    }
    void read(const std::string& key, std::string& field) {
        if (const Json* v = get(key)) field = as_text(*v, at(key));
    }
    void read(const std::string& key, double& field) {
        if (const Json* v = get(key)) field = as_int(*v, at(key));
    }
    void finish() const {
        for (auto it = j_.begin(); it != j_.end(); ++it)
            if (!used_.count(it.key()))
                fail(where_.empty() ? "manifest" : where_, "unknown key '" + it.key() + "'");
    }

  private:
    const Json& j_;
    std::string where_;
    std::set<std::string> used_;
};

struct Reader {
    GameJsonSource& source;
    Game& game;
    std::vector<RCodePiece>* pieces = nullptr;
    std::string last_code_file; // the file the latest code() read, empty when inline

    // Code that runs (a code action's, a script's, a room's creation code): read and listed.
    std::string program(const Json& v, const std::string& where) {
        std::string text = code(v, where);
        if (pieces) pieces->push_back(RCodePiece{last_code_file, where, text});
        return text;
    }

    // A file reference {"file": NAME}: the file's bytes, and its name for messages.
    std::vector<uint8_t> file(const Json& v, const std::string& where, std::string* name_out) {
        Fields f(v, where);
        const Json& name = f.need("file");
        if (!name.is_string()) fail(f.at("file"), "must be a file name");
        f.finish();
        *name_out = name.get<std::string>();
        return source.file(*name_out, where);
    }

    std::optional<Bitmap24> picture(const Json& v, const std::string& where) {
        if (v.is_null()) return std::nullopt;
        if (v.is_object() && !v.contains("file")) {
            // A picture stored with no pixels: only its size.
            Fields f(v, where);
            int32_t w = as_int(f.need("width"), f.at("width"));
            int32_t h = as_int(f.need("height"), f.at("height"));
            f.finish();
            if (w < 0 || h < 0 || (w > 0 && h > 0))
                fail(where, "a picture without a file must have a width or height of 0");
            Bitmap24 empty;
            empty.width = w, empty.height = h;
            return empty;
        }
        // A picture file, with the encoding the game stored it in when that is kept.
        Fields f(v, where);
        const Json& name = f.need("file");
        if (!name.is_string()) fail(f.at("file"), "must be a file name");
        const Json* encoding = f.get("encoding");
        f.finish();
        std::string error, encoding_name;
        auto image = decode_picture(source.file(name.get<std::string>(), where), &error);
        if (!image) fail(where, "file '" + name.get<std::string>() + "': " + error);
        if (encoding)
            image->stored = std::make_shared<const std::vector<uint8_t>>(
                file(*encoding, f.at("encoding"), &encoding_name));
        return image;
    }

    // Code or other text that is given inline or as a UTF-8 text file.
    std::string code(const Json& v, const std::string& where) {
        last_code_file.clear();
        if (v.is_string()) return as_text(v, where);
        if (!v.is_object()) fail(where, "must be a text or {\"file\": NAME}");
        std::string name, error;
        auto bytes = file(v, where, &name);
        std::string_view utf8(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        if (utf8.substr(0, 3) == "\xEF\xBB\xBF") utf8.remove_prefix(3); // a byte-order mark
        auto out = utf8_to_cp1252(utf8, &error);
        if (!out) fail(where, "file '" + name + "': " + error);
        last_code_file = name;
        // Code files may be written on Linux; the language counts lines by CR.
        return crlf_line_ends(*out);
    }

    template <typename T>
    int32_t ref(const Json& v, const std::string& where, const ResourceList<T>& list,
                const char* kind) {
        if (v.is_string()) {
            int32_t id = list.find(as_text(v, where));
            if (id < 0)
                fail(where,
                     std::string("there is no ") + kind + " named '" + v.get<std::string>() + "'");
            return id;
        }
        if (!v.is_number_integer()) fail(where, std::string("must be a ") + kind + " id or name");
        return as_int(v, where);
    }

    template <typename T>
    void ref(Fields& f, const std::string& key, int32_t& field, const ResourceList<T>& list,
             const char* kind) {
        if (const Json* v = f.get(key)) field = ref(*v, f.at(key), list, kind);
    }

    // First pass over a resource list: its slots and names, so that any record may name
    // any resource.
    template <typename T> void slots(const Json* arr, const char* key, ResourceList<T>& list) {
        list.clear();
        if (!arr) return;
        as_array(*arr, key);
        list.resize(int32_t(arr->size()));
        for (size_t i = 0; i < arr->size(); ++i) {
            const Json& e = (*arr)[i];
            std::string where = item(key, i);
            if (e.is_null()) continue;
            if (!e.is_object()) fail(where, "must be a JSON object or null (an empty slot)");
            const Json* name = e.contains("name") ? &e["name"] : nullptr;
            if (!name) fail(where, "'name' is missing");
            bool empty = e.contains("empty") && as_bool(e["empty"], join(where, "empty"));
            list.set(int32_t(i), as_text(*name, join(where, "name")),
                     empty ? nullptr : std::make_unique<T>());
        }
    }

    // Second pass: each present record, read by `record(fields, resource)`.
    template <typename T, typename Record>
    void records(const Json* arr, const char* key, ResourceList<T>& list, Record record) {
        if (!arr) return;
        for (size_t i = 0; i < arr->size(); ++i) {
            const Json& e = (*arr)[i];
            if (e.is_null()) continue;
            std::string where = item(key, i) + " (" + e["name"].get<std::string>() + ")";
            Fields f(e, where);
            f.get("name");
            if (!list.exists(int32_t(i))) {
                f.get("empty");
                f.finish();
                continue;
            }
            f.get("empty");
            record(f, *list.get(int32_t(i)));
            f.finish();
        }
    }

    void header(Fields& f);
    void options(Fields& f);
    void sound(Fields& f, CSound& s);
    void sprite(Fields& f, CSprite& s);
    void background(Fields& f, CBackground& b);
    void path(Fields& f, CPath& p);
    void object(Fields& f, CObject& o);
    void room(Fields& f, CRoom& r);
    void information(Fields& f);
    void ids_and_order(Fields& f);
};

void Reader::header(Fields& f) {
    f.read("version", game.header.version);
    if (game.header.version < 411 || game.header.version > 430)
        fail(f.at("version"), "must lie in 411 ... 430");
    f.read("debug", game.header.debug);
    f.read("game_id", game.header.game_id);
    if (const Json* v = f.get("identifier")) {
        std::string where = f.at("identifier");
        if (!v->is_string() || v->get<std::string>().size() != 32)
            fail(where, "must be 32 hex digits (16 bytes)");
        const std::string& s = v->get_ref<const std::string&>();
        for (size_t i = 0; i < 16; ++i) {
            auto digit = [&](char c) -> int {
                if (c >= '0' && c <= '9') return c - '0';
                if (c >= 'a' && c <= 'f') return c - 'a' + 10;
                if (c >= 'A' && c <= 'F') return c - 'A' + 10;
                fail(where, "must be 32 hex digits (16 bytes)");
            };
            game.header.identifier[i] = uint8_t(digit(s[2 * i]) * 16 + digit(s[2 * i + 1]));
        }
    }
}

void Reader::options(Fields& top) {
    const Json* v = top.get("options");
    if (!v) return;
    Fields f(*v, "options");
    GameOptions& o = game.options;
    for_each_option(o, [&](const char* name, auto& field) {
        using F = std::decay_t<decltype(field)>;
        if constexpr (std::is_same_v<F, std::vector<uint8_t>>) {
            const Json* icon = f.get(name);
            std::string file_name;
            if (icon && !icon->is_null()) field = file(*icon, f.at(name), &file_name);
        } else {
            f.read(name, field);
        }
    });
    // The pictures that follow their options; each belongs with its option's setting.
    auto picture_for = [&](const char* key, bool wanted, const char* rule,
                           std::optional<Bitmap24>& out) {
        const Json* p = f.get(key);
        if (!p) return;
        if (!wanted && !p->is_null()) fail(f.at(key), std::string("is stored only when ") + rule);
        out = picture(*p, f.at(key));
    };
    picture_for("score_background", o.score_image, "score_image is true", o.score_background);
    picture_for("load_bar_back", o.load_bar == 2, "load_bar is 2", o.load_bar_back);
    picture_for("load_bar_front", o.load_bar == 2, "load_bar is 2", o.load_bar_front);
    picture_for("load_image", o.load_image_on, "load_image_on is true", o.load_image);
    f.finish();
}

void Reader::sound(Fields& f, CSound& s) {
    std::string data_name;
    if (const Json* d = f.get("data"); d && !d->is_null())
        s.data = file(*d, f.at("data"), &data_name);
    // Without a kind or a file type, both follow the data file's extension.
    std::string ext = std::filesystem::path(data_name).extension().string();
    s.file_type = s.data ? ext : "";
    f.read("file_type", s.file_type);
    std::string lower;
    for (char c : s.file_type) lower += char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    s.kind = !s.data           ? sound_none
             : lower == ".wav" ? sound_wave
             : lower == ".mid" ? sound_midi
             : lower == ".mp3" ? sound_mp3
                               : sound_other;
    f.read("kind", s.kind);
    if (s.kind == sound_none && s.data) fail(f.at("data"), "a sound of kind -1 stores no data");
    if (s.kind != sound_none && !s.data) s.data.emplace();
    f.read("buffers", s.buffers);
    f.read("effects", s.effects);
    f.read("loadonuse", s.loadonuse);
}

void Reader::sprite(Fields& f, CSprite& s) {
    if (const Json* arr = f.get("frames")) {
        as_array(*arr, f.at("frames"));
        for (size_t k = 0; k < arr->size(); ++k) {
            auto image = picture((*arr)[k], item(f.at("frames"), k));
            s.frames.push_back(image ? std::move(*image) : Bitmap24());
        }
    }
    // The size defaults to the first frame's.
    for (const auto& frame : s.frames)
        if (!frame.empty()) {
            s.width = frame.width, s.height = frame.height;
            break;
        }
    f.read("width", s.width);
    f.read("height", s.height);
    f.read("transparent", s.transparent);
    f.read("bbox_mode", s.bbox_mode);
    f.read("precise", s.precise);
    f.read("videomem", s.videomem);
    f.read("loadonuse", s.loadonuse);
    f.read("xoffset", s.xoffset);
    f.read("yoffset", s.yoffset);
    s.number = int32_t(s.frames.size());
    int32_t number = s.number;
    f.read("number", number);
    if (number != s.number)
        fail(f.at("number"), "is " + std::to_string(number) + " but " + std::to_string(s.number) +
                                 " frames are listed");
    // The bounding box as stored, or computed from the frames when not given.
    const char* box[] = {"bbox_left", "bbox_top", "bbox_right", "bbox_bottom"};
    int given = 0;
    for (const char* k : box) given += f.get(k) != nullptr;
    if (given == 0) {
        s.compute_bounding_box();
    } else if (given == 4) {
        f.read("bbox_left", s.bbox_left);
        f.read("bbox_top", s.bbox_top);
        f.read("bbox_right", s.bbox_right);
        f.read("bbox_bottom", s.bbox_bottom);
    } else {
        fail(f.where(), "give all four of bbox_left, bbox_top, bbox_right and bbox_bottom, "
                        "or none to compute them");
    }
}

void Reader::background(Fields& f, CBackground& b) {
    if (const Json* v = f.get("image")) b.image = picture(*v, f.at("image"));
    if (b.image) b.width = b.image->width, b.height = b.image->height;
    f.read("width", b.width);
    f.read("height", b.height);
    f.read("transparent", b.transparent);
    f.read("videomem", b.videomem);
    f.read("loadonuse", b.loadonuse);
}

void Reader::path(Fields& f, CPath& p) {
    f.read("kind", p.kind);
    f.read("end", p.end);
    f.read("precision", p.precision);
    if (const Json* arr = f.get("points")) {
        as_array(*arr, f.at("points"));
        for (size_t i = 0; i < arr->size(); ++i) {
            std::string where = item(f.at("points"), i);
            const Json& pt = as_array((*arr)[i], where);
            if (pt.size() != 2 && pt.size() != 3) fail(where, "must be [x, y] or [x, y, speed]");
            RPathPoint point;
            point.x = as_real(pt[0], where + "[0]");
            point.y = as_real(pt[1], where + "[1]");
            if (pt.size() == 3) point.speed = as_real(pt[2], where + "[2]");
            p.points.push_back(point);
        }
    }
    // The limits the loader puts on smooth paths.
    if (p.kind != 0 && (p.precision < 0 || p.precision > CPath::max_precision))
        fail(f.at("precision"),
             "must lie in 0 ... " + std::to_string(CPath::max_precision) + " for a smooth path");
    if (p.kind != 0 && (p.points.size() << p.precision) > CPath::max_computed)
        fail(f.at("points"), "too many points for this precision");
    p.build();
}

void Reader::object(Fields& f, CObject& o) {
    f.read("record_version", o.version);
    if (o.version != 400 && o.version != 430) fail(f.at("record_version"), "must be 400 or 430");
    f.read("last_event_type", o.last_event_type);
    if (o.last_event_type >= event_type_count) fail(f.at("last_event_type"), "must be at most 10");
    ref(f, "sprite", o.sprite, game.sprites, "sprite");
    f.read("solid", o.solid);
    f.read("visible", o.visible);
    f.read("depth", o.depth);
    f.read("persistent", o.persistent);
    ref(f, "parent", o.parent, game.objects, "object");
    ref(f, "mask", o.mask, game.sprites, "sprite");
    const Json* arr = f.get("events");
    if (!arr) return;
    as_array(*arr, f.at("events"));
    for (size_t i = 0; i < arr->size(); ++i) {
        Fields e((*arr)[i], item(f.at("events"), i));
        // "event" and "with" (the other object of a collision) are the names unpack
        // writes; "type" and "number" are read as well.
        const char* type_key =
            (*arr)[i].is_object() && (*arr)[i].contains("event") ? "event" : "type";
        const Json& tv = e.need(type_key);
        int32_t type = -1;
        if (tv.is_string()) {
            for (int32_t t = 0; t < event_type_count; ++t)
                if (tv.get<std::string>() == type_names[t]) type = t;
            if (type < 0)
                fail(e.at(type_key), "unknown event type '" + tv.get<std::string>() + "'");
        } else {
            type = as_int(tv, e.at(type_key));
            if (type < 0 || type >= event_type_count) fail(e.at(type_key), "must lie in 0 ... 10");
        }
        int32_t number = 0;
        if (type == ev_collision && (*arr)[i].contains("with"))
            ref(e, "with", number, game.objects, "object");
        else if (type == ev_collision)
            ref(e, "number", number, game.objects, "object");
        else if (const Json* n = e.get("number"); n && n->is_string()) {
            number = event_number_from_word(type, n->get<std::string>());
            if (number < 0)
                fail(e.at("number"), "'" + n->get<std::string>() + "' is no " + type_names[type] +
                                         " event (" + event_number_words(type) + ")");
        } else
            e.read("number", number);
        if (number < 0) fail(e.at("number"), "must not be negative");
        if (o.events[size_t(type)].count(number))
            fail(e.where(), "event " + std::string(type_names[type]) + " " +
                                std::to_string(number) + " is listed twice");
        CEvent& event = *o.event_slot(type, number);
        if (const Json* acts = e.get("actions")) {
            as_array(*acts, e.at("actions"));
            for (size_t k = 0; k < acts->size(); ++k) {
                Fields a((*acts)[k], item(e.at("actions"), k));
                CAction action;
                action.function = as_int(a.need("function"), a.at("function"));
                if (action.function < 0 || action.function > CAction::max_function)
                    fail(a.at("function"),
                         "must lie in 0 ... " + std::to_string(CAction::max_function));
                if (const Json* to = a.get("applies_to")) {
                    if (*to == "self")
                        action.applies_to = -1;
                    else if (*to == "other")
                        action.applies_to = -2;
                    else
                        action.applies_to = ref(*to, a.at("applies_to"), game.objects, "object");
                }
                a.read("relative", action.relative);
                if (const Json* args = a.get("arguments")) {
                    as_array(*args, a.at("arguments"));
                    if (args->size() > 8) fail(a.at("arguments"), "holds at most 8 texts");
                    for (size_t n = 0; n < args->size(); ++n)
                        action.arguments[n] = action.function == code_action_function && n == 0
                                                  ? program((*args)[n], item(a.at("arguments"), n))
                                                  : code((*args)[n], item(a.at("arguments"), n));
                    action.stored_arguments = int32_t(args->size());
                }
                a.finish();
                event.actions.push_back(std::move(action));
            }
        }
        e.finish();
    }
}

void Reader::room(Fields& f, CRoom& r) {
    f.read("caption", r.caption);
    f.read("width", r.width);
    f.read("height", r.height);
    f.read("speed", r.speed);
    if (const Json* v = f.get("stored_ints")) {
        if (!v->is_array() || v->size() != 2)
            fail(f.at("stored_ints"), "must be a list of 2 numbers");
        r.stored_int1 = as_int((*v)[0], f.at("stored_ints") + "[0]");
        r.stored_int2 = as_int((*v)[1], f.at("stored_ints") + "[1]");
    }
    f.read("persistent", r.persistent);
    f.read("background_color", r.background_color);
    f.read("background_showcolor", r.background_showcolor);
    if (const Json* v = f.get("creation_code"))
        r.creation_code = program(*v, f.at("creation_code"));
    if (const Json* arr = f.get("backgrounds")) {
        as_array(*arr, f.at("backgrounds"));
        if (arr->size() > 8) fail(f.at("backgrounds"), "holds at most 8 layers");
        r.stored_backgrounds = int32_t(arr->size());
        for (size_t i = 0; i < arr->size(); ++i) {
            Fields l((*arr)[i], item(f.at("backgrounds"), i));
            CRoom::CBackground& b = r.backgrounds[i];
            l.read("visible", b.visible);
            l.read("foreground", b.foreground);
            ref(l, "index", b.index, game.backgrounds, "background");
            l.read("x", b.x);
            l.read("y", b.y);
            l.read("htiled", b.htiled);
            l.read("vtiled", b.vtiled);
            l.read("hspeed", b.hspeed);
            l.read("vspeed", b.vspeed);
            l.finish();
        }
    }
    f.read("view_enabled", r.view_enabled);
    if (const Json* arr = f.get("views")) {
        as_array(*arr, f.at("views"));
        if (arr->size() > 8) fail(f.at("views"), "holds at most 8 views");
        r.stored_views = int32_t(arr->size());
        for (size_t i = 0; i < arr->size(); ++i) {
            Fields w((*arr)[i], item(f.at("views"), i));
            CView& v = r.views[i];
            w.read("visible", v.visible);
            for (auto [key, field] : {std::pair{"left", &v.left},
                                      {"top", &v.top},
                                      {"width", &v.width},
                                      {"height", &v.height},
                                      {"x", &v.x},
                                      {"y", &v.y},
                                      {"hborder", &v.hborder},
                                      {"vborder", &v.vborder},
                                      {"hspeed", &v.hspeed},
                                      {"vspeed", &v.vspeed}})
                w.read(key, *field);
            ref(w, "object", v.object, game.objects, "object");
            w.finish();
        }
    }
    if (const Json* arr = f.get("instances")) {
        as_array(*arr, f.at("instances"));
        for (size_t i = 0; i < arr->size(); ++i) {
            Fields n((*arr)[i], item(f.at("instances"), i));
            RRoomInstance in;
            in.id = -1; // given later when missing
            n.read("x", in.x);
            n.read("y", in.y);
            in.object = ref(n.need("object"), n.at("object"), game.objects, "object");
            n.read("id", in.id);
            if (n.get("id") && in.id < 0) fail(n.at("id"), "must not be negative");
            n.finish();
            r.placed.push_back(in);
        }
    }
    if (const Json* arr = f.get("tiles")) {
        as_array(*arr, f.at("tiles"));
        for (size_t i = 0; i < arr->size(); ++i) {
            Fields n((*arr)[i], item(f.at("tiles"), i));
            RTile t;
            t.id = -1; // given later when missing
            n.read("x", t.x);
            n.read("y", t.y);
            t.background =
                ref(n.need("background"), n.at("background"), game.backgrounds, "background");
            n.read("left", t.left);
            n.read("top", t.top);
            n.read("width", t.width);
            n.read("height", t.height);
            n.read("depth", t.depth);
            n.read("id", t.id);
            if (n.get("id") && t.id < 0) fail(n.at("id"), "must not be negative");
            n.finish();
            r.tiles.push_back(t);
        }
    }
}

void Reader::information(Fields& top) {
    const Json* v = top.get("information");
    if (!v) return;
    Fields f(*v, "information");
    GameInformation& info = game.information;
    f.read("version", info.version);
    if (info.version != 400 && info.version != 430) fail(f.at("version"), "must be 400 or 430");
    f.read("color", info.color);
    f.read("help_in_window", info.help_in_window);
    if (const Json* t = f.get("text")) {
        if (t->is_string()) {
            info.text = as_text(*t, f.at("text"));
        } else {
            // The rich-text file holds the bytes as stored.
            std::string name;
            auto bytes = file(*t, f.at("text"), &name);
            info.text.assign(bytes.begin(), bytes.end());
        }
    }
    f.finish();
}

// Instance and tile ids left out are given after the highest id in use; the counters
// default to the highest id.
void Reader::ids_and_order(Fields& f) {
    int32_t max_instance = 100000, max_tile = 10000000;
    for (int32_t i = 0; i < game.rooms.count(); ++i)
        if (CRoom* r = game.rooms.get(i)) {
            for (const auto& in : r->placed) max_instance = std::max(max_instance, in.id);
            for (const auto& t : r->tiles) max_tile = std::max(max_tile, t.id);
        }
    for (int32_t i = 0; i < game.rooms.count(); ++i)
        if (CRoom* r = game.rooms.get(i)) {
            for (auto& in : r->placed)
                if (in.id < 0) in.id = ++max_instance;
            for (auto& t : r->tiles)
                if (t.id < 0) t.id = ++max_tile;
        }
    game.last_instance_id = max_instance;
    game.last_tile_id = max_tile;
    f.read("last_instance_id", game.last_instance_id);
    f.read("last_tile_id", game.last_tile_id);

    if (const Json* arr = f.get("room_order")) {
        as_array(*arr, "room_order");
        for (size_t i = 0; i < arr->size(); ++i)
            game.room_order.push_back(ref((*arr)[i], item("room_order", i), game.rooms, "room"));
    } else {
        for (int32_t i = 0; i < game.rooms.count(); ++i)
            if (game.rooms.exists(i)) game.room_order.push_back(i);
    }
    if (game.room_order.empty()) fail("room_order", "a game needs at least one room to start in");
    f.read("room_order_version", game.room_order_version);
    if (game.room_order_version < 400 || game.room_order_version > 420)
        fail(f.at("room_order_version"), "must lie in 400 ... 420");
}

} // namespace

Game game_from_json(const Json& json, GameJsonSource& source, std::vector<RCodePiece>* pieces) {
    Game game;
    Reader reader{source, game, pieces, {}};
    Fields f(json, "");
    if (const Json* format = f.get("format"); format && *format != 1)
        fail("format", "this program reads project format 1");
    reader.header(f);
    reader.options(f);
    const Json* sounds = f.get("sounds");
    const Json* sprites = f.get("sprites");
    const Json* backgrounds = f.get("backgrounds");
    const Json* paths = f.get("paths");
    const Json* scripts = f.get("scripts");
    const Json* objects = f.get("objects");
    const Json* rooms = f.get("rooms");
    reader.slots(sounds, "sounds", game.sounds);
    reader.slots(sprites, "sprites", game.sprites);
    reader.slots(backgrounds, "backgrounds", game.backgrounds);
    reader.slots(paths, "paths", game.paths);
    reader.slots(scripts, "scripts", game.scripts);
    reader.slots(objects, "objects", game.objects);
    reader.slots(rooms, "rooms", game.rooms);
    if (game.paths.count() > 0 && game.header.version < 420)
        fail("paths", "a game of version " + std::to_string(game.header.version) +
                          " stores no paths (they need version 420 or more)");
    reader.records(sounds, "sounds", game.sounds,
                   [&](Fields& r, CSound& s) { reader.sound(r, s); });
    reader.records(sprites, "sprites", game.sprites,
                   [&](Fields& r, CSprite& s) { reader.sprite(r, s); });
    reader.records(backgrounds, "backgrounds", game.backgrounds,
                   [&](Fields& r, CBackground& b) { reader.background(r, b); });
    reader.records(paths, "paths", game.paths, [&](Fields& r, CPath& p) { reader.path(r, p); });
    reader.records(scripts, "scripts", game.scripts, [&](Fields& r, CScript& s) {
        if (const Json* v = r.get("code")) s.code = reader.program(*v, r.at("code"));
    });
    reader.records(objects, "objects", game.objects,
                   [&](Fields& r, CObject& o) { reader.object(r, o); });
    reader.records(rooms, "rooms", game.rooms,
                   [&](Fields& r, CRoom& room) { reader.room(r, room); });
    reader.information(f);
    reader.ids_and_order(f);
    f.finish();
    return game;
}

} // namespace kelvane
