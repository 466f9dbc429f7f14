// Windows file names on Linux. Games name files the Windows way (`data\level1.txt`,
// `C:\temp\x`, any letter case, Windows-1252 text); every part of the runner that touches
// a file turns such a name into a host path here.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kelvane {

class FileNames {
  public:
    // Drive letters and the host folders they stand for; C: is / unless mapped otherwise.
    FileNames();
    void map_drive(char letter, const std::string& host_dir);

    // The host path (UTF-8) for a game file name (Windows-1252). Backslashes become
    // slashes, a drive letter its folder, and each component that does not exist as
    // written is matched without regard to letter case against what exists. Components
    // with no match are kept as written, so new files can be created. Nullopt for names
    // that cannot stand for a host file: an unmapped drive, a network name, or characters
    // that cannot be file names here.
    // When the game has a data folder (its own folder cannot be written), a name relative
    // to the game's folder is looked up there first.
    std::optional<std::string> to_host(const std::string& name) const;
    // The host path a game writes to for `name`: as to_host, but a relative name goes to
    // the data folder when there is one (its folders made as the game's folder has them).
    std::optional<std::string> to_host_for_writing(const std::string& name) const;

    // The Windows name (Windows-1252) a game sees for an absolute host path: the drive
    // whose folder holds it most closely, then the rest with backslashes
    // (`C:\home\ann\x.txt`). Nullopt when no drive holds it or its name has characters
    // Windows-1252 lacks. The choosers give games their choice this way.
    std::optional<std::string> to_windows(const std::string& host_path) const;

    // Where files the game writes go when its own folder cannot be written; empty: none.
    void set_data_folder(const std::string& host_dir) { data_folder_ = host_dir; }
    const std::string& data_folder() const { return data_folder_; }

    // Whether writing `name` stays inside the game's folder (the current directory) or its
    // data folder, decided on where the name really leads: after drive letters, letter
    // case, ".." and every symbolic link. The one test of secure mode's writing functions.
    bool write_stays_inside(const std::string& name) const;

    // A name contains a path when it contains a backslash or a slash.
    static bool has_path(const std::string& name);

  private:
    std::map<char, std::string> drives_;
    std::string data_folder_;

    std::optional<std::string> map(const std::string& name, const std::string& relative_base) const;
};

// Where a host path really leads: absolute, with ".", ".." and every symbolic link
// followed; components that do not exist are kept as written. Nullopt for a link loop.
std::optional<std::string> resolve_host_path(const std::string& host_path);

// Whether `path` is `folder` or lies beneath it, both as resolve_host_path gives them.
bool path_within(const std::string& path, const std::string& folder);

// Where the runner keeps what it writes for the user: $XDG_DATA_HOME/kelvane, else
// ~/.local/share/kelvane (/tmp/kelvane without a home).
std::string user_data_home();

// The folder that takes the files a game writes when its own folder cannot be written:
// DATA_HOME/games/<game id> (DATA_HOME as user_data_home gives it).
std::string game_data_folder(int32_t game_id, const std::string& data_home = user_data_home());

// Whether the game's folder can take new files; when not, the game writes into its data
// folder.
bool folder_writable(const std::string& folder);

// File attribute bits as games know them.
enum FileAttribute : int32_t {
    fa_readonly = 1,
    fa_hidden = 2,
    fa_sysfile = 4,
    fa_volumeid = 8,
    fa_directory = 16,
    fa_archive = 32,
};

// The attributes of a host file mapped to the game's bits: directory, hidden (a name
// starting with a dot), read-only (no write permission), archive (a regular file).
// Nullopt when the file does not exist.
std::optional<int32_t> host_attributes(const std::string& host_path);

// Whether a Windows-1252 name matches a mask with `*` and `?`, without regard to case.
bool wildcard_match(const std::string& mask, const std::string& name);

// A file search: the names (Windows-1252, no path) in the folder of a mask that match it,
// in case-insensitive name order. Entries with the directory, hidden or system attribute
// are found only when `attributes` asks for them; others always.
class FileSearch {
  public:
    void start(const FileNames& names, const std::string& mask, int32_t attributes);
    // The next name, or the empty string when there are no more.
    std::string next();
    void close() { found_.clear(), at_ = 0; }

  private:
    std::vector<std::string> found_;
    size_t at_ = 0;
};

// Letter case folding of Windows-1252 text, as Windows compares file names.
std::string fold_case_cp1252(const std::string& s);

} // namespace kelvane
