// Finding the data folder from the program's own path.
#include "platform/Data_Folder.h"

#include <cstdlib>

namespace fs = std::filesystem;

namespace kelvane {

fs::path data_folder_for(const fs::path& executable) {
    std::error_code ec;
    fs::path bin = executable.parent_path();
    for (const fs::path& candidate :
         {bin.parent_path() / "share" / "kelvane", bin / "share" / "kelvane"}) {
        if (fs::is_directory(candidate, ec)) return candidate;
    }
    return {};
}

fs::path data_folder() {
    if (const char* dir = std::getenv("KELVANE_DATA_DIR"); dir && *dir) return dir;
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : data_folder_for(self);
}

fs::path data_file(const std::string& name) {
    fs::path dir = data_folder();
    if (dir.empty()) return {};
    std::error_code ec;
    fs::path file = dir / name;
    return fs::exists(file, ec) ? file : fs::path();
}

} // namespace kelvane
