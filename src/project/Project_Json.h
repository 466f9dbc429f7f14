// The JSON form of a game, shared by the project manifest and `info --json`: every record
// with its fields under their own names. Pictures, sound data, long code and the game
// information's text are handed to a sink that decides how they appear (a file reference
// in a manifest, a size or an inline text in a summary).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "run/Game.h"

namespace kelvane {

using Json = nlohmann::ordered_json;

class GameJsonSink {
  public:
    virtual ~GameJsonSink() = default;
    // A place for the files of one resource: `folder`/<name made safe and unique>.
    virtual std::string stem(const std::string& folder, const std::string& name) = 0;
    // A picture with pixels; `file` is the stem plus a suffix.
    virtual Json picture(const Bitmap24& image, const std::string& file) = 0;
    virtual Json data(const std::vector<uint8_t>& bytes, const std::string& file) = 0;
    // Code (a game string) that may be long.
    virtual Json code(const std::string& text, const std::string& file) = 0;
    // Whether references to resources and events are written by name (a project, for
    // people to edit) or by number (the record as the file stores it).
    virtual bool by_name() const { return false; }
    // The game information's rich text (bytes as stored).
    virtual Json rich_text(const std::string& text, const std::string& file) = 0;
    // An empty resource slot, with the name it kept.
    virtual Json empty_slot(const std::string& stored_name) = 0;
};

Json game_to_json(const Game& game, GameJsonSink& sink);

// Where the reader gets the files a manifest names.
class GameJsonSource {
  public:
    virtual ~GameJsonSource() = default;
    // The bytes of a file named in the manifest at `where`; throws ProjectError.
    virtual std::vector<uint8_t> file(const std::string& name, const std::string& where) = 0;
};

// A piece of code read from a manifest (the code actions, scripts and room creation
// code), with where it came from: the file it was read from, or the manifest's field.
struct RCodePiece {
    std::string file;  // the code file's name, as the manifest gives it; empty: inline
    std::string field; // the manifest's field, such as "scripts[0] (scr_move).code"
    std::string text;  // as the game stores it (Windows-1252, CR LF line ends)
};

// Builds a game from its JSON form. Throws ProjectError naming the field (and the file,
// for a file's problem). With `pieces`, every piece of code read is listed there too.
Game game_from_json(const Json& json, GameJsonSource& source,
                    std::vector<RCodePiece>* pieces = nullptr);

// Names of the event types in manifests, by type number.
const char* event_type_name(int32_t type);

// The word a manifest and a code file's name use for an event's number: the key of a
// keyboard, key press or key release event ("left", "a", "digit1", "f12", "nokey",
// "anykey"), the kind of a step ("begin"), mouse ("left_press") or other event
// ("room_start", "user3"); empty when the number has none (alarms, collisions, numbers
// without a name).
std::string event_number_word(int32_t type, int32_t number);
// The number a word stands for in events of the type (`vk_` names of keys are taken
// too, such as "return"); -1 when it stands for none.
int32_t event_number_from_word(int32_t type, const std::string& word);
// The words an event type knows, for messages ("begin, normal, end").
std::string event_number_words(int32_t type);

} // namespace kelvane
