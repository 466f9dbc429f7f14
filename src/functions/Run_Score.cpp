// The high-score table and its window.
#include "functions/Run_Score.h"

#include "model/Option_Main.h"
#include "run/Runtime.h"

namespace kelvane {

std::string score_key(int32_t game_id) {
    return "\\Software\\Kelvane 4\\" + std::to_string(game_id);
}

RScoreTable read_scores(RegistryStore& store, int32_t game_id) {
    RScoreTable t;
    const std::string key = score_key(game_id);
    for (size_t i = 0; i < t.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        if (auto v = store.read(key, "Name" + n); v && v->kind == RegistryValue::string)
            t[i].name = v->text;
        if (auto v = store.read(key, "Value" + n); v && v->kind != RegistryValue::string)
            t[i].value = to_int32(v->number);
    }
    return t;
}

void write_scores(RegistryStore& store, int32_t game_id, const RScoreTable& t) {
    const std::string key = score_key(game_id);
    for (size_t i = 0; i < t.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        RegistryValue name{RegistryValue::string, t[i].name, 0};
        RegistryValue value{RegistryValue::dword, "", double(t[i].value)};
        store.write(key, "Name" + n, name);
        store.write(key, "Value" + n, value);
    }
}

int32_t score_place(const RScoreTable& t, int32_t v) {
    for (size_t i = 0; i < t.size(); ++i)
        if (t[i].value < v) return int32_t(i + 1);
    return 0;
}

void score_insert(RScoreTable& t, int32_t place, const std::string& name, int32_t value) {
    if (place < 1 || place > int32_t(t.size())) return;
    for (size_t i = t.size() - 1; i >= size_t(place); --i) t[i] = t[i - 1];
    t[size_t(place - 1)] = {name, value};
}

TScoreForm::TScoreForm(const GameOptions& options, RScoreTable table, int32_t new_place)
    : options_(options), table_(std::move(table)), new_place_(new_place) {}

// The window is 360 x 400 with its border.
int32_t TScoreForm::client_width() const {
    return options_.score_border ? 360 - 2 * form_frame : 360;
}
int32_t TScoreForm::client_height() const {
    return options_.score_border ? 400 - 2 * form_frame - form_title_height : 400;
}

std::optional<std::string> TScoreForm::caption() const {
    if (!options_.score_border) return std::nullopt;
    return std::string("Top Ten Players");
}

void TScoreForm::frame(CUi& ui) {
    if (new_place_ > 0) {
        for (int32_t k : ui.in.keys) {
            if (k == vk_back && !name_.empty()) name_.pop_back();
            if (k == vk_return || k == vk_escape) closed = true;
        }
        name_ += ui.in.text;
    } else if (ui.in.has_key(vk_return) || ui.in.has_key(vk_escape)) {
        closed = true;
    }
    const RRect all{0, 0, client_width(), client_height()};
    ui.fill(all, uint32_t(options_.score_back_color) & 0xFFFFFF);
    if (options_.score_image && options_.score_background && !options_.score_background->empty()) {
        DDSurface picture;
        if (picture.create(options_.score_background->width, options_.score_background->height,
                           false, 0, false)) {
            picture.draw_bitmap(*options_.score_background, 0, 0);
            ui.surface.copy_whole(0, 0, picture, true, double(all.width()) / picture.width,
                                  double(all.height()) / picture.height);
        }
    }
    RCanvasFont font;
    font.spec.name = options_.score_font_name;
    font.spec.height = font_height_for_points(options_.score_font_size);
    const uint32_t other = uint32_t(options_.score_other_color) & 0xFFFFFF;
    const uint32_t fresh = uint32_t(options_.score_new_color) & 0xFFFFFF;
    for (int32_t i = 0; i < 10; ++i) {
        const RScoreEntry& e = table_[size_t(i)];
        const bool is_new = i + 1 == new_place_;
        font.colour = is_new ? fresh : other;
        const int32_t y = 48 + 32 * i;
        ui.text({8, y, 48, y + 24}, std::to_string(i + 1) + ".", font, 0, false);
        ui.text({48, y, 48 + 209, y + 24}, is_new ? name_ + "|" : e.name, font, 0, false);
        ui.text({264, y, 264 + 73, y + 24}, std::to_string(e.value), font, 2, false);
    }
}

void TScoreForm::answer(const std::string& line) {
    name_ = line;
    closed = true;
}

void show_high_scores(Runtime& rt, int32_t value) {
    if (!rt.registry) return;
    const int32_t id = rt.game.header.game_id;
    RScoreTable table = read_scores(*rt.registry, id);
    const int32_t place = score_place(table, value);
    if (place > 0) score_insert(table, place, "", value);
    if (rt.game.options.exclusive_mode) {
        if (place > 0) write_scores(*rt.registry, id, table);
        return;
    }
    TScoreForm form(rt.game.options, table, place);
    show_form(rt, form);
    if (place > 0) {
        table[size_t(place - 1)].name = form.name();
        write_scores(*rt.registry, id, table);
    }
}

} // namespace kelvane
