// Game projects: round trips through the game file, hand-written defaults, clear errors
// for bad manifests, and the rules for writing into folders.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <png.h>

#include "Project_Test_Util.h"
#include "project/Project_Image.h"
#include "project/Project_Main.h"
#include "project/Project_Summary.h"
#include "runner/Runner_Load.h"

using namespace kelvane;
using namespace kelvane::testing;

namespace {

Game load(const std::vector<uint8_t>& bytes) {
    Game g;
    LoadResult r = load_game_bytes(bytes, g);
    EXPECT_TRUE(r.ok) << r.message << " " << r.diagnostic;
    return g;
}

// The message of the ProjectError that reading the project throws, or "" when it reads.
std::string project_error(const fs::path& dir) {
    try {
        read_project(dir);
    } catch (const ProjectError& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(Project, GameFileUnpackedAndPackedAgainIsIdentical) {
    struct Case {
        int32_t version, seed;
    } cases[] = {{430, 1}, {430, 4242}, {420, 214748}, {419, 77}, {411, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE("version " + std::to_string(c.version) + " seed " + std::to_string(c.seed));
        Game g = full_game(c.version);
        auto bytes = write_game_bytes(g, c.seed);
        Game loaded = load(bytes);
        TempFolder dir;
        write_project(loaded, dir.path);
        Game back = read_project(dir.path);
        EXPECT_EQ(write_game_bytes(back, c.seed), bytes);
    }
}

TEST(Project, FieldsSurviveTheProjectExactly) {
    Game g = load(write_game_bytes(full_game(), 9));
    TempFolder dir;
    write_project(g, dir.path);
    Game back = read_project(dir.path);

    EXPECT_EQ(back.header.identifier, g.header.identifier);
    EXPECT_EQ(back.options.score_font_name, "Font \x80\xff");
    EXPECT_EQ(back.options.game_icon, g.options.game_icon);
    EXPECT_EQ(back.options.load_image, g.options.load_image);
    EXPECT_FALSE(back.sounds.exists(0) && back.sounds.get(0)->data);
    EXPECT_EQ(back.sounds.get(2)->file_type, "../x y");
    EXPECT_EQ(back.scripts.get(1)->code, crlf_line_ends(all_bytes()));
    EXPECT_EQ(back.scripts.stored_name(3), all_bytes());
    EXPECT_EQ(back.scripts.get(2)->code, "return 2;\r\n");
    const CPath* p = back.paths.get(1);
    ASSERT_TRUE(p);
    EXPECT_TRUE(std::isnan(p->points[1].speed));
    EXPECT_TRUE(std::signbit(p->points[2].x));
    EXPECT_EQ(p->points[2].y, std::numeric_limits<double>::infinity());
    const CAction& code = back.objects.get(1)->events[ev_collision].at(2).actions[0];
    EXPECT_EQ(code.function, 34);
    EXPECT_EQ(code.arguments[0], all_bytes());
    EXPECT_EQ(code.stored_arguments, 8);
    EXPECT_TRUE(back.objects.get(1)->events[ev_other].count(12));
    EXPECT_EQ(back.rooms.get(0)->caption, all_bytes());
    EXPECT_EQ(back.rooms.get(0)->background_count(), 2);
    EXPECT_EQ(back.rooms.get(0)->view_count(), 3);
    EXPECT_EQ(back.information.text, g.information.text);
    EXPECT_EQ(back.information.version, 400);
    EXPECT_EQ(back.room_order_version, 400);

    // Long code lives in UTF-8 text files; names never escape the folder.
    EXPECT_TRUE(fs::exists(dir / "scripts/______etc_passwd.kvs"));
    // Code with a lone line feed stays in the manifest: packing turns the lone line feeds
    // of code files into CR LF, and the game must come back byte for byte.
    EXPECT_FALSE(fs::exists(dir / "objects/obj_all/collision-2-0.kvs"));
    EXPECT_TRUE(fs::exists(dir / "rooms/room_small.kvs"));
    EXPECT_TRUE(fs::exists(dir / "sounds/snd_odd.bin"));
    EXPECT_TRUE(fs::exists(dir / "sprites/spr_ball/0.png"));
    EXPECT_FALSE(fs::exists(dir / "sprites/spr_ball/1.png")); // the frame without image
    EXPECT_EQ(read_text(dir / "rooms/room_small.kvs"), "a = 1;\r\n\tb = \"\xc3\xa9\";");
    for (const auto& entry : fs::recursive_directory_iterator(dir.path))
        EXPECT_EQ(entry.path().string().rfind(dir.path.string(), 0), 0u);
}

namespace {

void put_int(std::vector<uint8_t>& out, int32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(uint32_t(v) >> (8 * i)));
}

// Encodings another writer may choose: a bitmap, true colour with runs of one pixel, a
// palette in its own order.
Bitmap24 stored_as(Bitmap24 img, int32_t scheme) {
    std::vector<uint8_t> e;
    put_int(e, scheme);
    if (scheme == 0) {
        auto bmp = EncodeBmp(img);
        e.insert(e.end(), bmp.begin(), bmp.end());
    } else {
        std::vector<uint32_t> palette;
        if (scheme == 2) {
            for (size_t i = 0; i < img.pixels.size(); i += 3) {
                uint32_t c = img.pixel(int32_t(i / 3) % img.width, int32_t(i / 3) / img.width);
                if (std::find(palette.begin(), palette.end(), c) == palette.end())
                    palette.insert(palette.begin(), c); // last seen first
            }
            put_int(e, int32_t(palette.size()));
            for (uint32_t c : palette)
                e.insert(e.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
        }
        put_int(e, img.width);
        put_int(e, img.height);
        for (int32_t y = 0; y < img.height; ++y) {
            put_int(e, img.width);
            e.insert(e.end(), size_t(img.width), 1);
            for (int32_t x = 0; x < img.width; ++x) {
                uint32_t c = img.pixel(x, y);
                if (scheme == 2)
                    e.push_back(
                        uint8_t(std::find(palette.begin(), palette.end(), c) - palette.begin()));
                else
                    e.insert(e.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
            }
        }
    }
    img.stored = std::make_shared<const std::vector<uint8_t>>(std::move(e));
    return img;
}

} // namespace

TEST(Project, PicturesStoredOtherwiseKeepTheirEncoding) {
    Game g = sample_game();
    CSprite& spr = *g.sprites.get(0);
    spr.frames[0] = stored_as(spr.frames[0], 0);
    spr.frames.push_back(stored_as(Bitmap24(4, 3, 0x00ff00), 1));
    spr.frames.push_back(stored_as(checker(4, 3, 0x0000ff, 0xff0000), 2));
    g.options.load_bar_back = stored_as(*g.options.load_bar_back, 0);
    auto bytes = write_game_bytes(g, 123);
    EXPECT_NE(bytes, write_game_bytes(sample_game(), 123));

    TempFolder dir;
    write_project(load(bytes), dir.path);
    EXPECT_TRUE(fs::exists(dir / "sprites/spr_ball/0.kimg"));
    EXPECT_TRUE(fs::exists(dir / "sprites/spr_ball/3.kimg"));
    EXPECT_TRUE(fs::exists(dir / "options/load_bar_back.kimg"));
    EXPECT_FALSE(fs::exists(dir / "options/load_bar_front.kimg")); // stored as pack would
    EXPECT_EQ(write_game_bytes(read_project(dir.path), 123), bytes);

    // An edited picture is stored anew; its old encoding no longer applies.
    Bitmap24 edited = Bitmap24(4, 3, 0x00ff00);
    edited.set_pixel(0, 0, 0x123456);
    auto png = encode_png(edited);
    std::ofstream(dir / "sprites/spr_ball/2.png", std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    Game back = load(write_game_bytes(read_project(dir.path), 123));
    EXPECT_EQ(back.sprites.get(0)->frames[2], edited);
    EXPECT_EQ(*back.sprites.get(0)->frames[2].stored, EncodeImage(edited));
}

TEST(Project, HandWrittenProjectPacksAndComesBackTheSame) {
    TempFolder src;
    write_text(src / "kelvane-project.json", R"({
      "game_id": 12,
      "sprites": [{"name": "spr_box", "frames": [{"file": "box.bmp"}]}],
      "backgrounds": [null, {"name": "bg", "image": {"file": "bg.png"}}],
      "sounds": [{"name": "snd", "data": {"file": "beep.WAV"}}],
      "scripts": [{"name": "scr", "code": {"file": "scr.kvs"}}],
      "objects": [
        {"name": "obj_a", "sprite": "spr_box", "events": [
          {"type": "step", "number": 1, "actions": [{"function": 34, "arguments": ["x += 1;"]}]},
          {"type": "collision", "number": "obj_a", "actions": [
            {"function": 10, "applies_to": "other", "arguments": ["1", "2"]}]}]}
      ],
      "rooms": [{"name": "r", "caption": "Caf\u00e9", "instances": [
        {"x": 1, "y": 2, "object": "obj_a"}, {"x": 3, "y": 4, "object": 0, "id": 100500},
        {"x": 5, "y": 6, "object": "obj_a"}],
        "tiles": [{"background": "bg", "width": 4, "height": 4}]}]
    })");
    Bitmap24 box(3, 2, 0x0000ff);
    box.set_pixel(1, 0, 0x00ff00);
    auto bmp = EncodeBmp(box);
    std::ofstream(src / "box.bmp", std::ios::binary)
        .write(reinterpret_cast<const char*>(bmp.data()), std::streamsize(bmp.size()));
    auto png = encode_png(checker(4, 4, 1, 2));
    std::ofstream(src / "bg.png", std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    write_text(src / "beep.WAV", "RIFF");
    write_text(src / "scr.kvs", "\xEF\xBB\xBFreturn \"\xE2\x82\xAC\";\n"); // with a BOM

    Game g = read_project(src.path);
    EXPECT_EQ(g.header.version, 430);
    const CSprite* s = g.sprites.get(0);
    EXPECT_EQ(s->frames[0], box);
    EXPECT_EQ(s->width, 3);
    EXPECT_EQ(s->height, 2);
    // Transparent by default: the bottom-left colour is see-through, so only the green
    // pixel is inside the box.
    EXPECT_EQ(std::tie(s->bbox_left, s->bbox_top, s->bbox_right, s->bbox_bottom),
              std::tuple(1, 0, 1, 0));
    EXPECT_EQ(g.backgrounds.get(1)->width, 4);
    EXPECT_EQ(g.sounds.get(0)->kind, sound_wave);
    EXPECT_EQ(g.sounds.get(0)->file_type, ".WAV");
    EXPECT_EQ(g.scripts.get(0)->code, "return \"\x80\";\r\n"); // a Linux line end made CR LF
    EXPECT_EQ(g.objects.get(0)->events[ev_collision].at(0).actions[0].applies_to, -2);
    const CRoom* r = g.rooms.get(0);
    EXPECT_EQ(r->caption, "Caf\xe9");
    EXPECT_EQ(r->placed[0].id, 100501);
    EXPECT_EQ(r->placed[1].id, 100500);
    EXPECT_EQ(r->placed[2].id, 100502);
    EXPECT_EQ(r->tiles[0].id, 10000001);
    EXPECT_EQ(g.last_instance_id, 100502);
    EXPECT_EQ(g.room_order, std::vector<int32_t>{0});

    // project -> game file -> project -> the same game file
    auto bytes = write_game_bytes(g, 31);
    TempFolder out;
    write_project(load(bytes), out.path);
    EXPECT_EQ(write_game_bytes(read_project(out.path), 31), bytes);
}

TEST(Project, BadManifestsGiveClearErrors) {
    struct Case {
        const char* manifest;
        const char* expect;
    } cases[] = {
        {R"({"rooms": [)", "not valid JSON"},
        {R"({"rooms": [{"name": "r", "widht": 5}]})", "rooms[0] (r): unknown key 'widht'"},
        {R"({"rooms": [{"name": "r", "width": "big"}]})", "rooms[0] (r).width: must be a whole"},
        {R"({"rooms": [{"name": "r", "width": 1.5}]})", "rooms[0] (r).width: must be a whole"},
        {R"({"rooms": [{"name": "r", "width": 3000000000}]})", "must be a whole number"},
        {R"({"rooms": [{"name": "r"}], "optons": {}})", "manifest: unknown key 'optons'"},
        {R"({"rooms": [{"name": "r"}], "options": {"show_cursor": 1}})",
         "options.show_cursor: must be true or false"},
        {R"({"rooms": [{"name": "r"}], "sprites": [{"name": "s", "frames": [{"file": "no.png"}]}]})",
         "sprites[0] (s).frames[0]: file 'no.png' does not exist"},
        {R"({"rooms": [{"name": "r"}], "sprites": [{"name": "s", "frames": [{"file": "../x.png"}]}]})",
         "file '../x.png' must be a relative path inside the project folder"},
        {R"({"rooms": [{"name": "r"}], "sprites": [{"name": "s", "frames": [{"file": "junk.png"}]}]})",
         "file 'junk.png': neither a PNG nor a Windows bitmap"},
        {R"({"rooms": [{"name": "r"}], "objects": [{"name": "o", "sprite": "spr_x"}]})",
         "objects[0] (o).sprite: there is no sprite named 'spr_x'"},
        {R"({"rooms": [{"name": "r", "caption": "\u4e2d"}]})",
         "rooms[0] (r).caption: character U+4E2D has no Windows-1252 byte"},
        {R"({"rooms": [{"name": "r"}], "scripts": [{"name": "s", "code": {"file": "bad.kvs"}}]})",
         "scripts[0] (s).code: file 'bad.kvs': malformed UTF-8"},
        {R"({"objects": []})", "room_order: a game needs at least one room"},
        {R"({"version": 500, "rooms": [{"name": "r"}]})", "version: must lie in 411 ... 430"},
        {R"({"rooms": [{"name": "r"}], "objects": [{"name": "o", "events": [{"type": "stpe"}]}]})",
         "objects[0] (o).events[0].type: unknown event type 'stpe'"},
        {R"({"rooms": [{"name": "r"}], "objects": [{"name": "o", "events": [
            {"event": "other", "number": "room_begin"}]}]})",
         "objects[0] (o).events[0].number: 'room_begin' is no other event (outside, boundary, "
         "game_start, game_end, room_start"},
        {R"({"rooms": [{"name": "r"}], "objects": [{"name": "o", "events": [
            {"type": 3}, {"type": "step", "number": 0}]}]})",
         "event step 0 is listed twice"},
        {R"({"rooms": [{"name": "r"}], "objects": [{"name": "o", "events": [{"type": 3,
            "actions": [{"function": 34, "arguments": ["a","b","c","d","e","f","g","h","i"]}]}]}]})",
         "arguments: holds at most 8 texts"},
        {R"({"rooms": [{"name": "r"}], "sprites": [{"name": "s", "bbox_left": 0}]})",
         "give all four of bbox_left"},
        {R"({"rooms": [{"name": "r"}], "options": {"load_image": {"file": "a.png"}}})",
         "options.load_image: is stored only when load_image_on is true"},
        {R"({"version": 419, "rooms": [{"name": "r"}], "paths": [{"name": "p"}]})",
         "paths: a game of version 419 stores no paths"},
        {R"({"rooms": [{"name": "r"}], "sounds": [{"name": "s", "kind": -1, "data": {"file": "junk.png"}}]})",
         "a sound of kind -1 stores no data"},
        {R"({"rooms": [{"name": "r"}], "paths": [{"name": "p", "kind": 1, "precision": 40}]})",
         "precision: must lie in 0 ... "},
        {R"([1, 2])", "manifest: must be a JSON object"},
        {R"({"rooms": [{"caption": "x"}]})", "rooms[0]: 'name' is missing"},
    };
    for (const auto& c : cases) {
        TempFolder dir;
        write_text(dir / "kelvane-project.json", c.manifest);
        write_text(dir / "junk.png", "not a picture");
        write_text(dir / "bad.kvs", "x = \"\xff\";");
        std::string error = project_error(dir.path);
        EXPECT_NE(error.find(c.expect), std::string::npos)
            << "manifest: " << c.manifest << "\nerror: " << error;
        EXPECT_EQ(error.rfind((dir / "kelvane-project.json").string(), 0), 0u) << error;
    }
}

TEST(Project, MissingFolderOrManifest) {
    TempFolder dir;
    EXPECT_NE(project_error(dir / "nowhere").find("nowhere: No such file or directory"),
              std::string::npos);
    EXPECT_NE(project_error(dir.path).find("has no kelvane-project.json"), std::string::npos);
}

TEST(Project, WritingRefusesForeignFoldersAndReplacesOldProjects) {
    Game g = sample_game();
    TempFolder dir;

    // A folder with other files is left alone.
    write_text(dir / "notes.txt", "mine");
    EXPECT_THROW(write_project(g, dir.path), ProjectError);
    EXPECT_EQ(read_text(dir / "notes.txt"), "mine");
    EXPECT_FALSE(fs::exists(dir / "kelvane-project.json"));

    // A project folder is written over: files the old manifest named go, others stay.
    TempFolder proj;
    write_project(g, proj.path);
    write_text(proj / "make-art.py", "# mine");
    ASSERT_TRUE(fs::exists(proj / "scripts/scr_inc.kvs"));
    Game other = sample_game();
    other.scripts.clear();
    write_project(other, proj.path);
    EXPECT_FALSE(fs::exists(proj / "scripts/scr_inc.kvs"));
    EXPECT_FALSE(fs::exists(proj / "scripts"));
    EXPECT_EQ(read_text(proj / "make-art.py"), "# mine");
    EXPECT_EQ(read_project(proj.path).scripts.count(), 0);

    // An empty slot keeps the name it had.
    Game named = sample_game();
    named.sounds.set(0, "snd_deleted", nullptr);
    TempFolder slots;
    write_project(named, slots.path);
    Game back = read_project(slots.path);
    EXPECT_FALSE(back.sounds.exists(0));
    EXPECT_EQ(back.sounds.stored_name(0), "snd_deleted");

    // A path that names a file is refused.
    EXPECT_THROW(write_project(g, proj / "make-art.py"), ProjectError);
}

// A sub-folder of a project replaced by a link to elsewhere: writing the project again
// neither writes nor deletes through it.
TEST(Project, WritingNeverFollowsALinkOutOfTheProject) {
    Game g = sample_game();
    TempFolder proj, outside;
    write_project(g, proj.path);
    ASSERT_TRUE(fs::exists(proj / "scripts/scr_inc.kvs"));
    fs::rename(proj / "scripts", outside / "scripts");
    write_text(outside / "scripts/scr_inc.kvs", "mine");
    fs::create_symlink(outside / "scripts", proj / "scripts");
    EXPECT_THROW(write_project(g, proj.path), ProjectError);
    EXPECT_EQ(read_text(outside / "scripts/scr_inc.kvs"), "mine");

    Game other = sample_game();
    other.scripts.clear(); // the old script file would be removed
    write_project(other, proj.path);
    EXPECT_EQ(read_text(outside / "scripts/scr_inc.kvs"), "mine");
}

TEST(Project, PngRoundTripAndAlphaIsDropped) {
    Bitmap24 img(7, 3);
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 7; ++x) img.set_pixel(x, y, uint32_t(x * 40 + y * 0x10300));
    auto png = encode_png(img);
    std::string error;
    EXPECT_EQ(decode_picture(png, &error), img) << error;
    EXPECT_EQ(encode_png(img), png); // the same bytes every time
    EXPECT_FALSE(decode_picture({1, 2, 3}, &error));

    // A see-through pixel keeps its colour.
    uint8_t bgra[] = {30, 20, 10, 0, 1, 2, 3, 255};
    png_image rgba;
    std::memset(&rgba, 0, sizeof rgba);
    rgba.version = PNG_IMAGE_VERSION;
    rgba.width = 2, rgba.height = 1, rgba.format = PNG_FORMAT_BGRA;
    std::vector<uint8_t> with_alpha(256);
    png_alloc_size_t size = with_alpha.size();
    ASSERT_TRUE(png_image_write_to_memory(&rgba, with_alpha.data(), &size, 0, bgra, 8, nullptr));
    with_alpha.resize(size);
    auto opaque = decode_picture(with_alpha, &error);
    ASSERT_TRUE(opaque) << error;
    EXPECT_EQ(opaque->pixel(0, 0), 0x1e140au);
    EXPECT_EQ(opaque->pixel(1, 0), 0x010203u);
    auto broken = png;
    broken.resize(png.size() / 2);
    EXPECT_FALSE(decode_picture(broken, &error));
    EXPECT_FALSE(error.empty());
}

TEST(ProjectSummary, JsonHoldsFieldsAndNullsForEmptySlots) {
    Game g = load(write_game_bytes(full_game(), 5));
    Json j = game_summary_json(g);
    EXPECT_EQ(j["version"], 430);
    EXPECT_EQ(j["seed"], 5);
    EXPECT_EQ(j["game_id"], 777);
    EXPECT_EQ(j["debug"], 2);
    EXPECT_EQ(j["options"]["scale_window"], 150);
    EXPECT_EQ(j["options"]["score_font_name"], "Font \xE2\x82\xAC\xC3\xBF");
    EXPECT_EQ(j["options"]["game_icon"]["size"], 4);
    EXPECT_EQ(j["sounds"][2]["name"], "snd_odd");
    EXPECT_TRUE(j["sounds"][3].is_null());
    EXPECT_TRUE(j["rooms"][2].is_null()); // room_gone
    EXPECT_EQ(j["sounds"][1]["data"]["size"], 7);
    EXPECT_EQ(j["sprites"][0]["frames"][0], (Json{{"width", 4}, {"height", 3}, {"scheme", 2}}));
    EXPECT_TRUE(j["sprites"][0]["frames"][1].is_null());
    const Json& child = j["objects"][2];
    EXPECT_EQ(child["parent"], 0);
    EXPECT_EQ(child["sprite"], 0);
    EXPECT_EQ(child["events"][0]["type"], 4);
    EXPECT_EQ(child["events"][0]["number"], 0);
    EXPECT_EQ(child["events"][0]["actions"][0]["function"], 35);
    const Json& room = j["rooms"][1];
    EXPECT_EQ(room["width"], 800);
    EXPECT_EQ(room["speed"], 30);
    EXPECT_EQ(room["instances"][1], (Json{{"x", 64}, {"y", 48}, {"object", 0}, {"id", 100002}}));
    EXPECT_EQ(j["room_order"], (Json{1, 0, 1}));
}

TEST(Project, EventWordsReadBackToTheirNumbers) {
    for (int32_t type : {ev_step, ev_mouse, ev_other, ev_keyboard, ev_keypress, ev_keyrelease}) {
        for (int32_t n = 0; n < 256; ++n) {
            if (std::string w = event_number_word(type, n); !w.empty()) {
                EXPECT_EQ(event_number_from_word(type, w), n) << type << " " << w;
            }
        }
    }
    EXPECT_EQ(event_number_from_word(ev_keyboard, "return"), 13) << "a key's second name";
    EXPECT_EQ(event_number_from_word(ev_keyboard, "room_start"), -1);
    EXPECT_EQ(event_number_from_word(ev_other, "left"), -1);
    EXPECT_EQ(event_number_from_word(ev_alarm, "0"), -1);
    EXPECT_EQ(event_number_word(ev_other, 8), "");
    EXPECT_EQ(event_number_word(ev_draw, 0), "");
}

TEST(Project, ReferencesAreWrittenByNameWhereTheNameReadsBack) {
    Game g = sample_game();
    // A second sprite with the first one's name: a reference to it must stay a number.
    auto twin = std::make_unique<CSprite>();
    twin->width = twin->height = 1;
    twin->frames.push_back(checker(1, 1, 0, 0));
    twin->number = 1;
    g.sprites.resize(2);
    g.sprites.set(1, "spr_ball", std::move(twin));
    CObject* o = g.objects.get(0);
    ASSERT_TRUE(o);
    o->sprite = 0;
    o->mask = 1;
    o->events[ev_collision][0].actions.clear(); // a collision with itself, by name
    // Keys and the kinds of step, mouse and other events go by their words; numbers
    // without one stay numbers. Their code files are named after them.
    CAction code_action;
    code_action.function = 34;
    code_action.stored_arguments = 1;
    code_action.arguments[0] = "x = 1;";
    const struct {
        int32_t type, number;
        Json written;
        const char* file; // of the event's first code action
    } events[] = {
        {ev_other, 4, "room_start", "other-room_start-0.kvs"},
        {ev_other, 13, "user3", "other-user3-0.kvs"},
        {ev_keyboard, 37, "left", "keyboard-left-0.kvs"},
        {ev_keypress, 'A', "a", "keypress-a-0.kvs"},
        {ev_keyrelease, '7', "digit7", "keyrelease-digit7-0.kvs"},
        {ev_keyboard, 13, "enter", "keyboard-enter-0.kvs"},
        {ev_keyboard, 1, "anykey", "keyboard-anykey-0.kvs"},
        {ev_step, 1, "begin", "step-begin-0.kvs"},
        {ev_mouse, 4, "left_press", "mouse-left_press-0.kvs"},
        {ev_keyboard, 200, 200, "keyboard-200-0.kvs"},
        {ev_alarm, 3, 3, "alarm-3-0.kvs"},
    };
    for (const auto& e : events) o->event_slot(e.type, e.number)->actions = {code_action};
    TempFolder dir;
    write_project(g, dir.path);
    Json j = Json::parse(read_text(dir / "kelvane-project.json"));
    const Json& obj = j["objects"][0];
    EXPECT_EQ(obj["sprite"], "spr_ball");
    EXPECT_EQ(obj["mask"], 1);
    bool collision = false;
    for (const auto& e : obj["events"]) {
        EXPECT_TRUE(e.contains("event") && !e.contains("type")) << e.dump();
        if (e["event"] == "collision") collision = e["with"] == obj["name"];
    }
    EXPECT_TRUE(collision);
    for (const auto& want : events) {
        bool found = false;
        for (const auto& e : obj["events"])
            if (e["event"] == event_type_name(want.type) && e.contains("number") &&
                e["number"] == want.written) {
                found = true;
                EXPECT_EQ(e["actions"][0]["arguments"][0]["file"],
                          "objects/" + obj["name"].get<std::string>() + "/" + want.file)
                    << e.dump();
            }
        EXPECT_TRUE(found) << want.written.dump();
    }
    // Names and numbers read back to the same game, byte for byte.
    Game back = read_project(dir.path);
    EXPECT_EQ(write_game_bytes(back, 3), write_game_bytes(g, 3));
}
