// Finding a library the game names the Windows way, and calling its functions.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "platform/Files.h"
#include "platform/Libraries.h"

namespace fs = std::filesystem;
using namespace kelvane;

TEST(Libraries, FileNamesAWindowsNameStandsFor) {
    struct Case {
        std::string base;
        std::vector<std::string> names;
    } cases[] = {
        {"foo.dll", {"foo.so", "libfoo.so", "foo.dll"}},
        {"Foo.DLL", {"Foo.so", "libFoo.so", "Foo.DLL"}},
        {"foo", {"foo.so", "libfoo.so", "foo"}},
        {"libm.so.6", {"libm.so.6"}},
        {"foo.bar.dll", {"foo.bar.so", "libfoo.bar.so", "foo.bar.dll"}},
        {".dll", {".dll"}},
        {"", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(library_file_names(c.base), c.names) << c.base;
}

class LibraryFolder : public ::testing::Test {
  protected:
    fs::path game;
    FileNames names;
    void SetUp() override {
        game = fs::temp_directory_path() /
               ("kelvane-libs-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(game);
        fs::create_directories(game / "Libs");
    }
    void TearDown() override { fs::remove_all(game); }
    void place(const fs::path& to) { fs::copy_file(KELVANE_TEST_LIBRARY, game / to); }
    void write(const fs::path& to, const std::string& bytes) {
        std::ofstream(game / to, std::ios::binary) << bytes;
    }
    RLibraryLookup open(const std::string& name) {
        return open_game_library(names, game.string(), name);
    }
};

TEST_F(LibraryFolder, FoundBesideTheGameWithoutRegardToCase) {
    place("helper.so");
    place("Libs/libTools.so");
    struct Case {
        std::string name;
        fs::path expected;
    } cases[] = {
        {"HELPER.DLL", game / "helper.so"},
        {"helper", game / "helper.so"},
        {"libs\\tools.dll", game / "Libs/libTools.so"},
        // A folder that does not exist here: the library beside the game stands in.
        {"C:\\Program Files\\Maker\\Helper.dll", game / "helper.so"},
    };
    for (const Case& c : cases) {
        RLibraryLookup found = open(c.name);
        ASSERT_TRUE(found.library) << c.name << ": " << found.error;
        EXPECT_EQ(found.library->host_name(), c.expected.string()) << c.name;
    }
}

TEST_F(LibraryFolder, WindowsLibrariesAndBrokenFilesAreToldApart) {
    write("winonly.dll", std::string("MZ\x90\0\3\0\0\0", 8));
    write("broken.dll", "not a library");
    RLibraryLookup win = open("WinOnly.dll");
    EXPECT_FALSE(win.library);
    EXPECT_TRUE(win.windows_file);
    EXPECT_EQ(win.found_file, (game / "winonly.dll").string());
    RLibraryLookup broken = open("broken.dll");
    EXPECT_FALSE(broken.library);
    EXPECT_FALSE(broken.windows_file);
    EXPECT_EQ(broken.found_file, (game / "broken.dll").string());
    EXPECT_FALSE(broken.error.empty());
    RLibraryLookup missing = open("nosuch.dll");
    EXPECT_FALSE(missing.library);
    EXPECT_TRUE(missing.found_file.empty());
}

TEST_F(LibraryFolder, TheSystemLibraryPathComesLast) {
    RLibraryLookup m = open("libm.so.6");
    ASSERT_TRUE(m.library) << m.error;
    EXPECT_EQ(m.library->host_name(), "libm.so.6");
    EXPECT_TRUE(m.library->find("cos"));
    EXPECT_FALSE(m.library->find("no_such_function"));
    EXPECT_FALSE(m.library->find(std::string("cos\0x", 5)));
}

TEST_F(LibraryFolder, CallsPassRealsAndTextsInOrder) {
    place("t.so");
    RLibraryLookup found = open("t.dll");
    ASSERT_TRUE(found.library) << found.error;
    std::vector<RForeignArgument> eight(8);
    for (int i = 0; i < 8; ++i) eight[size_t(i)].real = i + 1;
    RForeignResult r;
    ASSERT_TRUE(call_foreign(found.library->find("digits8"), eight, false, r));
    EXPECT_EQ(r.real, 12345678);
    ASSERT_TRUE(call_foreign(found.library->find("digits0"), {}, false, r));
    EXPECT_EQ(r.real, 42);
    std::vector<RForeignArgument> mixed(3);
    mixed[0] = {true, 0, "left"};
    mixed[1].real = 2.5;
    mixed[2] = {true, 0, "right"};
    ASSERT_TRUE(call_foreign(found.library->find("join"), mixed, true, r));
    ASSERT_TRUE(r.text);
    EXPECT_STREQ(r.text, "left|2.5|right");
    ASSERT_TRUE(call_foreign(found.library->find("nothing"), {}, true, r));
    EXPECT_EQ(r.text, nullptr);
    EXPECT_FALSE(call_foreign(nullptr, {}, false, r));
}
