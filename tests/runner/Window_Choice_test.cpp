// The window choice remembered per game: written only when it changed, read back, and the
// command line's choice over the remembered one.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "runner/Window_Choice.h"

using namespace kelvane;
namespace fs = std::filesystem;

namespace {

struct Store {
    fs::path file =
        fs::temp_directory_path() / ("kelvane-window-" + std::to_string(::getpid()) + ".txt");
    ~Store() { fs::remove(file); }
    std::string text() const {
        std::ifstream in(file);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
};

} // namespace

TEST(WindowChoice, RememberedPerGameAndReadBack) {
    Store s;
    RegistryStore store(s.file.string());
    EXPECT_FALSE(read_window_choice(store, 7).full_screen);
    write_window_choice(store, 7, {true, 3});
    write_window_choice(store, 8, {false, 1});
    RWindowChoice seven = read_window_choice(store, 7), eight = read_window_choice(store, 8);
    EXPECT_EQ(seven.full_screen, true);
    EXPECT_EQ(seven.zoom, 3);
    EXPECT_EQ(eight.full_screen, false);
    EXPECT_EQ(eight.zoom, 1);
    // The same choice again leaves the file as it is.
    const auto stamp = fs::last_write_time(s.file);
    const std::string before = s.text();
    write_window_choice(store, 7, {true, 3});
    EXPECT_EQ(s.text(), before);
    EXPECT_EQ(fs::last_write_time(s.file), stamp);
}

TEST(WindowChoice, HandWrittenNonsenseIsIgnored) {
    Store s;
    std::ofstream(s.file) << "[Software\\Kelvane Runner\\Window\\5]\n"
                             "\"FullScreen\" = string:yes\n"
                             "\"Zoom\" = dword:4000\n";
    RegistryStore store(s.file.string());
    RWindowChoice c = read_window_choice(store, 5);
    EXPECT_FALSE(c.full_screen);
    EXPECT_FALSE(c.zoom);
}

TEST(WindowChoice, TheCommandLineWins) {
    RWindowChoice remembered{true, 2};
    RWindowChoice c = merged({std::nullopt, 4}, remembered);
    EXPECT_EQ(c.full_screen, true);
    EXPECT_EQ(c.zoom, 4);
    c = merged({false, std::nullopt}, remembered);
    EXPECT_EQ(c.full_screen, false);
    EXPECT_EQ(c.zoom, 2);
}
