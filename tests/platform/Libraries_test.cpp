// Finding a library the game names the Windows way, and calling its functions.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/mman.h>
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
    // A game's library name and the file it must load; an empty file: nothing may load, and
    // nothing is reported as found.
    struct Case {
        std::string name;
        fs::path expected;
    };
    void expect_loaded(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            RLibraryLookup found = open(c.name);
            if (c.expected.empty()) {
                EXPECT_FALSE(found.library) << c.name << " loaded " << found.library->host_name();
                EXPECT_EQ(found.found_file, "") << c.name;
                continue;
            }
            ASSERT_TRUE(found.library) << c.name << ": " << found.error;
            EXPECT_EQ(found.library->host_name(), c.expected.string()) << c.name;
        }
    }
};

TEST_F(LibraryFolder, FoundBesideTheGameWithoutRegardToCase) {
    place("helper.so");
    place("Libs/libTools.so");
    expect_loaded({
        {"HELPER.DLL", game / "helper.so"},
        {"helper", game / "helper.so"},
        {"libs\\tools.dll", game / "Libs/libTools.so"},
        // A folder that does not exist here: the library beside the game stands in.
        {"C:\\Program Files\\Maker\\Helper.dll", game / "helper.so"},
    });
}

// The names of one place in their order (foo.so, libfoo.so, the name as given), the folder
// the game names before the game's folder, and the game's folder before the system path.
TEST_F(LibraryFolder, NamesAndPlacesAreTriedInOrder) {
    place("order.so");
    place("liborder.so");
    write("order.dll", std::string("MZ\x90\0", 4));
    place("libsecond.so");
    write("second.dll", std::string("MZ\x90\0", 4));
    place("Libs/tool.so");
    place("tool.so");
    place("libm.so.6");
    expect_loaded({
        {"order.dll", game / "order.so"},
        {"second.dll", game / "libsecond.so"},
        {"libs\\tool.dll", game / "Libs/tool.so"},
        {"tool.dll", game / "tool.so"},
        {"libm.so.6", game / "libm.so.6"},
    });
}

// Names that lead out of the game's folder, by "..", by an absolute folder or by a symbolic
// link, find nothing there; names that lead back inside do.
TEST_F(LibraryFolder, NamesCannotLeadOutOfTheGamesFolder) {
    fs::path outside = game.parent_path() / (game.filename().string() + "-outside");
    fs::remove_all(outside);
    fs::create_directories(outside);
    fs::copy_file(KELVANE_TEST_LIBRARY, outside / "stray.so");
    fs::copy_file(KELVANE_TEST_LIBRARY, game.parent_path() / (game.filename().string() + ".so"));
    fs::create_symlink(outside / "stray.so", game / "linked.so");
    fs::create_directory_symlink(outside, game / "Up");
    place("helper.so");
    fs::create_symlink("helper.so", game / "alias.so");
    std::string parent = game.parent_path().string();
    std::string sibling = game.filename().string() + ".dll";
    expect_loaded({
        {"..\\" + sibling, ""},
        {"Libs\\..\\..\\" + sibling, ""},
        {"../" + sibling, ""},
        {"C:" + parent + "/" + sibling, ""},
        {"C:" + outside.string() + "\\stray.dll", ""},
        {"linked.dll", ""},
        {"up\\stray.dll", ""},
        // Inside after all: a link to a file beside the game, an absolute name of the
        // game's own folder, a ".." that stays inside.
        {"alias.dll", game / "helper.so"},
        {"C:" + game.string() + "\\HELPER.dll", game / "helper.so"},
        {"Libs\\..\\helper.dll", game / "helper.so"},
        // A folder outside: the last part is looked for beside the game.
        {"C:" + outside.string() + "\\helper.dll", game / "helper.so"},
    });
    // Without a game folder only the system library path is searched.
    EXPECT_FALSE(open_game_library(names, "", (game / "helper.dll").string()).library);
    EXPECT_TRUE(open_game_library(names, "", "libm.so.6").library);
    fs::remove_all(outside);
    fs::remove(game.parent_path() / (game.filename().string() + ".so"));
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
    // A Linux build that does not load is named before the Windows file beside it.
    write("both.so", "not a library either");
    write("both.dll", std::string("MZ\x90\0", 4));
    RLibraryLookup both = open("Both.dll");
    EXPECT_FALSE(both.library);
    EXPECT_FALSE(both.windows_file);
    EXPECT_EQ(both.found_file, (game / "both.so").string());
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
    // Only the library's own functions: not those of the C library it needs.
    EXPECT_FALSE(found.library->find("strlen"));
    EXPECT_FALSE(found.library->find("snprintf"));
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

// A text result is copied up to its zero, at most as far as asked, and never past readable
// memory: a function that returns a number or a stray address instead of text cannot crash
// the runner.
TEST(Libraries, TextResultsAreCopiedOnlyFromReadableMemory) {
    EXPECT_EQ(copy_foreign_text(nullptr, 100), "");
    EXPECT_EQ(copy_foreign_text("hello", 100), "hello");
    EXPECT_EQ(copy_foreign_text("hello", 3), "hel");
    std::string long_text(10000, 'x');
    long_text[9000] = 'y';
    EXPECT_EQ(copy_foreign_text(long_text.c_str(), 1 << 20), long_text);
    EXPECT_EQ(copy_foreign_text(reinterpret_cast<const char*>(24), 100), "");
    EXPECT_EQ(copy_foreign_text(reinterpret_cast<const char*>(-4096L), 100), "");

    // Text without a zero that runs into an unmapped page ends there.
    const size_t page = size_t(::sysconf(_SC_PAGESIZE));
    void* map =
        ::mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(map, MAP_FAILED);
    char* bytes = static_cast<char*>(map);
    std::memset(bytes, 'a', page);
    ASSERT_EQ(::munmap(bytes + page, page), 0);
    EXPECT_EQ(copy_foreign_text(bytes + page - 3, 100), "aaa");
    EXPECT_EQ(copy_foreign_text(bytes, 1 << 20), std::string(page, 'a'));
    EXPECT_EQ(copy_foreign_text(bytes + page, 100), "");
    ::munmap(bytes, page);
}
