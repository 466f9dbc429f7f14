// Where the runner's own data lives (icons, pictures, lists it ships). The folder is found
// from the program's own path, so an installed program, a relocated install and the build
// tree all find theirs.
#pragma once

#include <filesystem>
#include <string>

namespace kelvane {

// The data folder of the running program: $KELVANE_DATA_DIR when set, else
// data_folder_for(the program's own path). Empty when none exists.
std::filesystem::path data_folder();

// The data folder of a program at `executable`: share/kelvane/ beside its bin/ folder
// (PREFIX/bin/kelvane -> PREFIX/share/kelvane), else share/kelvane/ in its own folder (the
// build tree). Empty when neither exists.
std::filesystem::path data_folder_for(const std::filesystem::path& executable);

// A file of the data folder, or empty when the folder or the file is missing.
std::filesystem::path data_file(const std::string& name);

} // namespace kelvane
