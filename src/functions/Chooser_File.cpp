// The file and folder choosers.
#include "functions/Chooser_File.h"

#include <algorithm>
#include <filesystem>

#include "functions/Chooser_Parts.h"
#include "platform/Files.h"
#include "platform/Text_Encoding.h"
#include "run/Runtime.h"

namespace fs = std::filesystem;

namespace kelvane {

namespace {

constexpr int32_t row_height = 18, list_rows = 10;
// A folder holding more than this shows the first ones (in the order the system gives).
constexpr size_t max_entries = 20000;

std::string trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

std::vector<std::string> split(const std::string& s, char at) {
    std::vector<std::string> out;
    size_t start = 0;
    while (true) {
        size_t end = s.find(at, start);
        out.push_back(s.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) return out;
        start = end + 1;
    }
}

bool is_folder(const std::string& host) {
    std::error_code ec;
    return fs::is_directory(host, ec);
}

std::string normal_folder(const std::string& host) {
    std::error_code ec;
    fs::path p = fs::absolute(host, ec).lexically_normal();
    std::string s = p.string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

bool typed_absolute(const std::string& t) {
    return (t.size() >= 2 && t[1] == ':' && std::isalpha(static_cast<unsigned char>(t[0]))) ||
           (!t.empty() && (t[0] == '\\' || t[0] == '/'));
}

// The program's current directory, put back as it was when the chooser closes.
class KeepCurrentDirectory {
  public:
    KeepCurrentDirectory() { saved_ = fs::current_path(ec_); }
    ~KeepCurrentDirectory() {
        std::error_code ec;
        if (!ec_) fs::current_path(saved_, ec);
    }
    std::string path() const { return ec_ ? std::string("/") : saved_.string(); }

  private:
    fs::path saved_;
    std::error_code ec_;
};

} // namespace

std::vector<RFileFilter> parse_filter(const std::string& text) {
    std::vector<RFileFilter> out;
    if (text.empty()) return out;
    const std::vector<std::string> parts = split(text, '|');
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        RFileFilter f;
        f.description = parts[i];
        for (const std::string& m : split(parts[i + 1], ';'))
            if (std::string t = trim(m); !t.empty()) f.masks.push_back(t);
        if (!f.masks.empty()) out.push_back(std::move(f));
    }
    return out;
}

bool filter_mask_matches(const std::string& mask, const std::string& name) {
    if (wildcard_match(mask, name)) return true;
    // "name.*" also takes names without an extension, as "*.*" takes every file.
    if (mask.size() >= 2 && mask.compare(mask.size() - 2, 2, ".*") == 0)
        return name.find('.') == std::string::npos &&
               wildcard_match(mask.substr(0, mask.size() - 2), name);
    return false;
}

TFileForm::TFileForm(const FileNames& names, ChooserKind kind, std::string folder, std::string name,
                     std::vector<RFileFilter> filters, std::string root, std::string prompt)
    : names_(names), kind_(kind), root_(normal_folder(root)), prompt_(std::move(prompt)),
      field_(std::move(name)), filters_(std::move(filters)) {
    go_to(folder);
}

int32_t TFileForm::list_top() const {
    return prompt_.empty() ? 0 : 22;
}

int32_t TFileForm::client_height() const {
    return list_top() + 314;
}

std::optional<std::string> TFileForm::caption() const {
    switch (kind_) {
    case ChooserKind::open_file:
        return std::string("Open");
    case ChooserKind::save_file:
        return std::string("Save As");
    default:
        return std::string("Browse for Folder");
    }
}

void TFileForm::go_to(const std::string& host_folder) {
    std::string f = normal_folder(host_folder);
    if (!is_folder(f) || !path_within(f, root_)) f = root_;
    folder_ = f;
    selected_ = -1, scroll_ = 0;
    status_.clear();
    list();
}

void TFileForm::list() {
    entries_.clear();
    std::vector<std::string> masks;
    if (!typed_mask_.empty()) {
        masks = {typed_mask_};
    } else if (filter_ < filters_.size()) {
        masks = filters_[filter_].masks;
    } else {
        masks = {"*"};
    }
    std::error_code ec;
    fs::directory_iterator it(folder_, fs::directory_options::skip_permission_denied, ec), end;
    size_t seen = 0;
    for (; !ec && it != end && seen < max_entries; it.increment(ec), ++seen) {
        const std::string host_name = it->path().filename().string();
        if (host_name.empty() || host_name[0] == '.') continue; // hidden, as on the desktop
        auto name = utf8_to_cp1252(host_name);
        if (!name) continue; // a name no game could use
        std::error_code e2;
        const bool folder = it->is_directory(e2);
        if (!folder) {
            if (kind_ == ChooserKind::folder || !it->is_regular_file(e2)) continue;
            if (std::none_of(masks.begin(), masks.end(),
                             [&](const std::string& m) { return filter_mask_matches(m, *name); }))
                continue;
        }
        entries_.push_back({*name, folder});
    }
    std::sort(entries_.begin(), entries_.end(), [](const RChooserEntry& a, const RChooserEntry& b) {
        if (a.folder != b.folder) return a.folder;
        return fold_case_cp1252(a.name) < fold_case_cp1252(b.name);
    });
}

std::optional<std::string> TFileForm::host_of(const std::string& typed) const {
    if (typed_absolute(typed)) return names_.to_host(typed);
    auto here = names_.to_windows(folder_);
    if (!here) return std::nullopt;
    std::string base = *here;
    if (!base.empty() && base.back() != '\\') base += '\\';
    return names_.to_host(base + typed);
}

void TFileForm::choose(const std::string& host_path) {
    const std::string path = normal_folder(host_path);
    if (!path_within(path, root_)) {
        status_ = "This place lies outside the folders offered.";
        return;
    }
    auto win = names_.to_windows(path);
    if (!win) {
        status_ = "This place lies outside the game's drives.";
        return;
    }
    result = *win;
    closed = true;
}

void TFileForm::open_entry(int32_t i) {
    if (i < 0 || size_t(i) >= entries_.size()) return;
    const RChooserEntry e = entries_[size_t(i)];
    const std::string host = (fs::path(folder_) / cp1252_to_utf8(e.name)).string();
    if (e.folder) {
        go_to(host);
        if (kind_ != ChooserKind::folder) status_.clear();
    } else {
        choose(host);
    }
}

void TFileForm::accept_typed(const std::string& typed) {
    status_.clear();
    if (typed.empty()) {
        if (kind_ == ChooserKind::folder) choose(folder_);
        return;
    }
    const bool has_path = FileNames::has_path(typed);
    if (!has_path && typed.find_first_of("*?") != std::string::npos) {
        typed_mask_ = typed;
        field_.clear();
        selected_ = -1, scroll_ = 0;
        list();
        return;
    }
    auto host = host_of(typed);
    if (!host) {
        status_ = "This name cannot stand for a file here.";
        return;
    }
    if (is_folder(*host)) {
        if (kind_ == ChooserKind::folder) return choose(*host);
        go_to(*host);
        field_.clear();
        return;
    }
    if (kind_ == ChooserKind::folder) {
        status_ = "The folder does not exist.";
        return;
    }
    std::error_code ec;
    if (kind_ == ChooserKind::open_file) {
        if (fs::is_regular_file(*host, ec)) return choose(*host);
        status_ = "The file does not exist.";
        return;
    }
    const fs::path parent = fs::path(*host).parent_path();
    if (fs::is_directory(parent, ec)) return choose(*host);
    status_ = "The folder does not exist.";
}

void TFileForm::answer(const std::string& line) {
    field_ = line;
    if (!line.empty()) accept_typed(line);
    if (!closed) result.clear();
    closed = true;
}

void TFileForm::frame(CUi& ui) {
    const uint32_t field_id = ui_id("name field");
    if (first_frame_) {
        ui.state.focus = field_id;
        ui.state.anchor = 0, ui.state.caret = field_.size();
        first_frame_ = false;
    }
    const int32_t y0 = list_top(), n = int32_t(entries_.size());
    auto select = [&](int32_t i) {
        if (n == 0) return;
        selected_ = std::clamp(i, 0, n - 1);
        const RChooserEntry& e = entries_[size_t(selected_)];
        if (!e.folder) {
            field_ = e.name;
            ui.state.anchor = 0, ui.state.caret = field_.size();
        }
        scroll_ = std::clamp(scroll_, selected_ - list_rows + 1, selected_);
    };
    auto up = [&] {
        if (folder_ != root_ && path_within(fs::path(folder_).parent_path().string(), root_))
            go_to(fs::path(folder_).parent_path().string());
    };
    const bool field_was_empty = field_.empty();
    for (int32_t k : ui.in.keys) {
        if (closed) break;
        if (k == vk_escape) {
            result.clear();
            closed = true;
        } else if (k == vk_return) {
            if (!field_.empty()) {
                accept_typed(field_);
            } else if (selected_ >= 0) {
                open_entry(selected_);
            } else {
                accept_typed("");
            }
        } else if (k == vk_down) {
            select(selected_ + 1);
        } else if (k == vk_up) {
            select(selected_ < 0 ? 0 : selected_ - 1);
        } else if (k == vk_next) {
            select(selected_ + list_rows);
        } else if (k == vk_prior) {
            select(selected_ - list_rows);
        } else if (k == vk_back && field_was_empty) {
            up();
        } else if (k == vk_tab && kind_ != ChooserKind::folder && !filters_.empty()) {
            filter_ = (filter_ + 1) % filters_.size();
            typed_mask_.clear();
            selected_ = -1, scroll_ = 0;
            list();
        }
    }

    const int32_t w = client_width();
    ui.fill({0, 0, w, client_height()}, 0xC0C0C0);
    if (!prompt_.empty()) label(ui, {8, 4, w - 8, 20}, prompt_);

    // Where we are, and the way up.
    label(ui, {8, y0 + 8, 64, y0 + 28}, "Look in:");
    const RRect where{66, y0 + 8, 396, y0 + 28};
    ui.fill(where, 0xFFFFFF);
    ui.bevel(where, false);
    // A long name shows its end: the folder we are in.
    const std::string here = names_.to_windows(folder_).value_or(folder_);
    const bool too_wide = ui.canvas(chooser_font()).text_width(here) > where.width() - 6;
    ui.text({where.left + 3, where.top, where.right - 3, where.bottom}, here, chooser_font(),
            too_wide ? 2 : 0, false);
    if (push_button(ui, {402, y0 + 8, 432, y0 + 28}, "Up")) up();

    // The list.
    const RRect box{8, y0 + 36, 414, y0 + 36 + list_rows * row_height};
    ui.fill(box, 0xFFFFFF);
    ui.bevel(box, false);
    if (ui.mouse_over(box) && ui.in.wheel != 0) scroll_ -= ui.in.wheel * 3;
    int32_t range = n * row_height, pos = scroll_ * row_height;
    ui.scroll_bar(ui_id("list bar"), {box.right, box.top, 432, box.bottom}, pos, range,
                  list_rows * row_height, row_height);
    scroll_ = std::clamp(pos / row_height, 0, std::max(0, n - list_rows));
    for (int32_t row = 0; row < list_rows && scroll_ + row < n; ++row) {
        const int32_t i = scroll_ + row;
        const RChooserEntry& e = entries_[size_t(i)];
        const RRect r{box.left + 2, box.top + 1 + row * row_height, box.right - 2,
                      box.top + 1 + (row + 1) * row_height};
        bool clicked = false;
        ui.button(ui_id(e.name, i), r, clicked);
        if (ui.mouse_over(r) && ui.in.mouse_pressed) {
            const bool twice = last_click_entry_ == i && ui.in.now_ms - last_click_ms_ < 500;
            last_click_entry_ = i, last_click_ms_ = ui.in.now_ms;
            select(i);
            if (twice) {
                open_entry(i);
                if (closed) return;
                break;
            }
        }
        RCanvasFont f = chooser_font();
        if (i == selected_) {
            ui.fill(r, 0x800000);
            f.colour = 0xFFFFFF;
        }
        if (e.folder) {
            // A folder: a small yellow folder picture before its name.
            ui.fill({r.left + 3, r.top + 5, r.left + 15, r.top + 14}, 0x00C0FF);
            ui.fill({r.left + 3, r.top + 3, r.left + 8, r.top + 5}, 0x00C0FF);
            ui.bevel({r.left + 3, r.top + 5, r.left + 15, r.top + 14}, false);
        }
        ui.text({r.left + 20, r.top, r.right, r.bottom}, e.name, f, 0, false);
    }

    // The name, the filter, and the buttons.
    const bool files = kind_ != ChooserKind::folder;
    label(ui, {8, y0 + 236, 78, y0 + 258}, files ? "File name:" : "Folder:");
    ui.text_field(field_id, {80, y0 + 236, 340, y0 + 258}, field_, chooser_font(), 0xFFFFFF);
    const std::string go = kind_ == ChooserKind::open_file   ? "Open"
                           : kind_ == ChooserKind::save_file ? "Save"
                                                             : "OK";
    if (push_button(ui, {350, y0 + 236, 432, y0 + 258}, go, true)) {
        if (!field_.empty() || kind_ == ChooserKind::folder) {
            accept_typed(field_);
        } else if (selected_ >= 0) {
            open_entry(selected_);
        }
        if (closed) return;
    }
    if (files) {
        label(ui, {8, y0 + 264, 78, y0 + 286}, "Files of type:");
        std::string shown = !typed_mask_.empty()        ? typed_mask_
                            : filter_ < filters_.size() ? filters_[filter_].description
                                                        : std::string("All files");
        if (push_button(ui, {80, y0 + 264, 340, y0 + 286}, shown + "  (Tab: next)") &&
            !filters_.empty()) {
            filter_ = (filter_ + 1) % filters_.size();
            typed_mask_.clear();
            selected_ = -1, scroll_ = 0;
            list();
        }
    }
    if (push_button(ui, {350, y0 + 264, 432, y0 + 286}, "Cancel")) {
        result.clear();
        closed = true;
        return;
    }
    if (!status_.empty()) {
        RCanvasFont f = chooser_font();
        f.colour = 0x0000C0;
        ui.text({8, y0 + 292, w - 8, y0 + 310}, status_, f, 0, false);
    }
}

std::string choose_file(Runtime& rt, bool save, const std::string& filter,
                        const std::string& name) {
    if (rt.game.options.exclusive_mode) return {};
    KeepCurrentDirectory keep;
    std::string folder = keep.path(), field = name;
    if (FileNames::has_path(name)) {
        if (auto host = rt.file_names.to_host(name)) {
            if (is_folder(*host)) {
                folder = *host, field.clear();
            } else {
                const std::string parent = fs::path(*host).parent_path().string();
                if (is_folder(parent)) folder = parent;
                field = name.substr(name.find_last_of("\\/") + 1);
            }
        }
    }
    TFileForm form(rt.file_names, save ? ChooserKind::save_file : ChooserKind::open_file, folder,
                   field, parse_filter(filter));
    if (show_form(rt, form) == FormOutcome::not_shown) return {};
    return form.result;
}

std::string choose_folder(Runtime& rt, const std::string& start) {
    if (rt.game.options.exclusive_mode) return {};
    KeepCurrentDirectory keep;
    std::string folder = keep.path();
    if (auto host = rt.file_names.to_host(start); !start.empty() && host && is_folder(*host))
        folder = *host;
    TFileForm form(rt.file_names, ChooserKind::folder, folder, "", {});
    if (show_form(rt, form) == FormOutcome::not_shown) return {};
    return form.result;
}

std::string choose_folder_alt(Runtime& rt, const std::string& caption, const std::string& root) {
    if (rt.game.options.exclusive_mode) return {};
    KeepCurrentDirectory keep;
    std::string top = "/";
    if (auto host = rt.file_names.to_host(root); !root.empty() && host && is_folder(*host))
        top = *host;
    TFileForm form(rt.file_names, ChooserKind::folder, keep.path(), "", {}, top, caption);
    if (show_form(rt, form) == FormOutcome::not_shown) return {};
    return form.result;
}

} // namespace kelvane
