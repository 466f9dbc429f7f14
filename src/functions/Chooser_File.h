// The file and folder choosers (TFileForm) of get_open_filename, get_save_filename,
// get_directory and get_directory_alt: a folder's list, a name field that takes typed
// names (Windows names too, through the file-name mapping), the game's filter, and the
// program's current directory kept as it was.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "graphics/Form_Host.h"

namespace kelvane {

struct Runtime;
class FileNames;

// One choice of the filter: its description and its masks ("*.txt", "*.*").
struct RFileFilter {
    std::string description;
    std::vector<std::string> masks;
    bool operator==(const RFileFilter&) const = default;
};

// A game's filter text, "Description|*.a;*.b|Description|mask...": pairs split at "|",
// masks at ";" (blanks around them dropped). A pair without masks, or a description
// without its pair, is left out. An empty result stands for every file.
std::vector<RFileFilter> parse_filter(const std::string& text);

// Whether a name matches a mask as the Windows choosers match: without regard to case,
// and a mask ending in ".*" also matching names without an extension ("*.*" is every
// file).
bool filter_mask_matches(const std::string& mask, const std::string& name);

enum class ChooserKind { open_file, save_file, folder };

// One entry of the list: a folder or a file, its name in Windows-1252.
struct RChooserEntry {
    std::string name;
    bool folder = false;
};

class TFileForm : public TForm {
  public:
    // `folder`: the host folder to start in; `name`: the name field's text; `root`: the
    // host folder above which the player cannot go ("/" for all); `prompt`: a line above
    // the list (the folder browser's caption).
    TFileForm(const FileNames& names, ChooserKind kind, std::string folder, std::string name,
              std::vector<RFileFilter> filters, std::string root = "/", std::string prompt = "");
    int32_t client_width() const override { return 440; }
    int32_t client_height() const override;
    std::optional<std::string> caption() const override;
    void frame(CUi& ui) override;
    // The line as typed into the name field and accepted with Enter; an empty line, or a
    // name that cannot be chosen, cancels.
    void answer(const std::string& line) override;

    std::string result; // the chosen Windows name; empty when cancelled

    const std::string& folder() const { return folder_; }
    const std::vector<RChooserEntry>& entries() const { return entries_; }
    const std::string& status() const { return status_; }
    // What Enter does with the typed text: moves to a folder, sets a mask, or chooses.
    void accept_typed(const std::string& typed);

  private:
    const FileNames& names_;
    ChooserKind kind_;
    std::string folder_, root_, prompt_;
    std::string field_;
    std::vector<RFileFilter> filters_;
    size_t filter_ = 0;
    std::string typed_mask_; // a mask typed into the field; replaces the filter's
    std::vector<RChooserEntry> entries_;
    int32_t selected_ = -1, scroll_ = 0;
    std::string status_;
    int64_t last_click_ms_ = -1000;
    int32_t last_click_entry_ = -1;
    bool first_frame_ = true;

    void go_to(const std::string& host_folder);
    void list();
    void open_entry(int32_t i);
    void choose(const std::string& host_path);
    std::optional<std::string> host_of(const std::string& typed) const;
    int32_t list_top() const;
};

// The functions: the chosen name, or the empty string when cancelled or not shown.
std::string choose_file(Runtime& rt, bool save, const std::string& filter, const std::string& name);
std::string choose_folder(Runtime& rt, const std::string& start);
std::string choose_folder_alt(Runtime& rt, const std::string& caption, const std::string& root);

} // namespace kelvane
