// The data folder found from the program's path: an install, a relocated install, the
// build tree, and none.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "platform/Data_Folder.h"

using namespace kelvane;
namespace fs = std::filesystem;

TEST(DataFolder, FoundBesideBinOrInTheProgramsOwnFolder) {
    fs::path root = fs::temp_directory_path() / ("kelvane-data-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "usr/bin");
    fs::create_directories(root / "usr/share/kelvane");
    fs::create_directories(root / "opt/k/bin");
    fs::create_directories(root / "opt/k/share/kelvane");
    fs::create_directories(root / "build/share/kelvane");
    fs::create_directories(root / "bare/bin");
    // An install with its own share/ wins over a share/ inside bin/.
    fs::create_directories(root / "both/bin/share/kelvane");
    fs::create_directories(root / "both/share/kelvane");
    struct Case {
        const char* program;
        const char* want; // relative to root; empty: none
    } cases[] = {
        {"usr/bin/kelvane", "usr/share/kelvane"},   {"opt/k/bin/kelvane", "opt/k/share/kelvane"},
        {"build/kelvane", "build/share/kelvane"},   {"bare/bin/kelvane", ""},
        {"both/bin/kelvane", "both/share/kelvane"},
    };
    for (const Case& c : cases) {
        fs::path got = data_folder_for(root / c.program);
        fs::path want = *c.want ? root / c.want : fs::path();
        EXPECT_EQ(got, want) << c.program;
    }
    fs::remove_all(root);
}

TEST(DataFolder, TheEnvironmentNamesItFirst) {
    ::setenv("KELVANE_DATA_DIR", "/somewhere/else", 1);
    EXPECT_EQ(data_folder(), fs::path("/somewhere/else"));
    ::unsetenv("KELVANE_DATA_DIR");
}
