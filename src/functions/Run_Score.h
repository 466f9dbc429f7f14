// The high-score table: ten places kept in the registry store under the game's key, the
// insertion rule, and the table window (TScoreForm) in which the player types the name
// of a new entry.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "graphics/Form_Host.h"

namespace kelvane {

struct Runtime;
struct GameOptions;
class RegistryStore;

struct RScoreEntry {
    std::string name = "<nobody>";
    int32_t value = 0;
    bool operator==(const RScoreEntry&) const = default;
};
using RScoreTable = std::array<RScoreEntry, 10>;

// "\Software\Kelvane 4\" + the game id; values Name1 ... Name10 and Value1 ... Value10.
std::string score_key(int32_t game_id);
// Missing values read as "<nobody>" and 0.
RScoreTable read_scores(RegistryStore& store, int32_t game_id);
void write_scores(RegistryStore& store, int32_t game_id, const RScoreTable& table);

// The first place 1 ... 10 whose value is below v (equal values go below), or 0.
int32_t score_place(const RScoreTable& table, int32_t v);
// Moves places p ... 9 one down (place 10 is lost) and writes the entry at p.
void score_insert(RScoreTable& table, int32_t place, const std::string& name, int32_t value);

class TScoreForm : public TForm {
  public:
    // `new_place` 1 ... 10 is the row of the new entry, whose name the player types.
    TScoreForm(const GameOptions& options, RScoreTable table, int32_t new_place);
    int32_t client_width() const override;
    int32_t client_height() const override;
    std::optional<std::string> caption() const override;
    void frame(CUi& ui) override;
    void answer(const std::string& line) override;
    bool takes_answer() const override { return new_place_ > 0; }
    std::string answer_line() const override { return name_; }

    const std::string& name() const { return name_; }

  private:
    const GameOptions& options_;
    RScoreTable table_;
    int32_t new_place_;
    std::string name_;
};

// highscore_show and the high-score action: the table with the value as a new entry when
// it earns a place, the typed name stored afterwards.
void show_high_scores(Runtime& rt, int32_t value);

} // namespace kelvane
