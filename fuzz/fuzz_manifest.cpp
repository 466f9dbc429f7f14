// fuzz-options: -max_len=40000 -rss_limit_mb=1024 -timeout=10
// libFuzzer target: a project manifest. The input is written as the manifest of a folder
// that also holds the bundled demo's pictures, code and game information, and the
// project is read and packed: it must pack or fail with a ProjectError, nothing else.
#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "Fuzz_Folder.h"
#include "project/Project_Main.h"
#include "runner/Runner_Load.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kelvane;
    static const fs::path project = [] {
        fs::path p = fuzz::private_folder() / "project";
        fs::copy(fs::path(KELVANE_SOURCE_DIR) / "examples/demo", p, fs::copy_options::recursive);
        return p;
    }();
    fuzz::write_private_file("project/kelvane-project.json", data, size);
    try {
        write_game_bytes(read_project(project), 1);
    } catch (const ProjectError&) {
    }
    return 0;
}
