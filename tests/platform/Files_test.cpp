// Windows file names on the host, wildcards, attributes and file searches.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Files.h"

using namespace kelvane;
namespace fs = std::filesystem;

namespace {

class HostFolder : public ::testing::Test {
  protected:
    fs::path root;
    fs::path old_cwd;
    void SetUp() override {
        root = fs::temp_directory_path() / ("kelvane-files-" + std::to_string(::getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "Data" / "Levels");
        touch("Data/Levels/level1.txt");
        touch("Data/readme");
        touch("caf\xc3\xa9.txt"); // café.txt in UTF-8
        touch("a.txt");
        touch("B.TXT");
        touch(".hidden");
        old_cwd = fs::current_path();
        fs::current_path(root);
    }
    void TearDown() override {
        fs::current_path(old_cwd);
        fs::remove_all(root);
    }
    void touch(const std::string& rel) { std::ofstream(root / rel) << "x"; }
};

} // namespace

TEST_F(HostFolder, NamesMapWithoutRegardToCaseAndSeparators) {
    FileNames names;
    names.map_drive('d', (root / "Data").string());
    struct Case {
        std::string name;
        std::optional<std::string> host;
    } cases[] = {
        {"data\\levels\\LEVEL1.TXT", "Data/Levels/level1.txt"},
        {"DATA/Levels/level1.txt", "Data/Levels/level1.txt"},
        {"data\\new\\file.txt", "Data/new/file.txt"}, // missing parts kept as written
        {"CAF\xc9.TXT", "caf\xc3\xa9.txt"},           // Windows-1252 name, other case
        {"D:\\README", (root / "Data/readme").string()},
        {"d:levels\\level1.txt", (root / "Data/Levels/level1.txt").string()},
        {"C:\\", "/"},
        {"Q:\\x.txt", std::nullopt},         // unmapped drive
        {"\\\\server\\share", std::nullopt}, // network name
    };
    for (const auto& c : cases) EXPECT_EQ(names.to_host(c.name), c.host) << c.name;
    EXPECT_EQ(names.to_host((root / "DATA" / "readme").string()), (root / "Data/readme").string());
}

TEST(FileNames, PathsAreNamesWithSlashes) {
    EXPECT_FALSE(FileNames::has_path("save.txt"));
    EXPECT_TRUE(FileNames::has_path("C:\\save.txt"));
    EXPECT_TRUE(FileNames::has_path("dir/save.txt"));
}

TEST(Wildcards, MatchLikeWindows) {
    struct Case {
        const char* mask;
        const char* name;
        bool match;
    } cases[] = {
        {"*.txt", "a.TXT", true},     {"*.txt", "a.txt.bak", false}, {"?.txt", "ab.txt", false},
        {"a?c*", "ABCdef", true},     {"*.*", "readme", true},       {"*", "", true},
        {"lev*.*", "level1", true},   {"*e*e*", "reese", true},      {"x", "y", false},
        {"\xc9*", "\xe9t\xe9", true}, // É matches é
    };
    for (const auto& c : cases)
        EXPECT_EQ(wildcard_match(c.mask, c.name), c.match) << c.mask << " " << c.name;
}

TEST_F(HostFolder, SearchesFollowTheAttributeRule) {
    FileNames names;
    FileSearch search;
    auto all = [&](const std::string& mask, int32_t attr) {
        search.start(names, mask, attr);
        std::vector<std::string> out;
        for (std::string n = search.next(); !n.empty(); n = search.next()) out.push_back(n);
        return out;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(all("*.txt", 0), (V{"a.txt", "B.TXT", "caf\xe9.txt"}));
    EXPECT_EQ(all("*", fa_directory), (V{".", "..", "a.txt", "B.TXT", "caf\xe9.txt", "Data"}));
    EXPECT_EQ(all("*", fa_hidden), (V{".hidden", "a.txt", "B.TXT", "caf\xe9.txt"}));
    EXPECT_EQ(all("data\\LEVELS\\*.txt", 0), (V{"level1.txt"}));
    EXPECT_EQ(all("nowhere\\*", 0), V{});
    search.close();
    EXPECT_EQ(search.next(), "");
}

TEST_F(HostFolder, AttributesOfHostFiles) {
    EXPECT_EQ(host_attributes("missing"), std::nullopt);
    EXPECT_EQ(*host_attributes("Data") & fa_directory, fa_directory);
    EXPECT_EQ(*host_attributes(".hidden") & fa_hidden, fa_hidden);
    ::chmod("a.txt", 0444);
    if (::geteuid() != 0) { // root may write anything
        EXPECT_EQ(*host_attributes("a.txt") & fa_readonly, fa_readonly);
    }
    EXPECT_EQ(*host_attributes("B.TXT") & (fa_readonly | fa_directory), 0);
}

// A game whose folder cannot be written writes into its data folder and reads there
// first, then in its own folder; names with a drive are not redirected.
TEST_F(HostFolder, AGamesDataFolderIsWrittenAndReadFirst) {
    fs::path own = root.string() + "-own";
    fs::remove_all(own);
    fs::create_directories(own);
    FileNames names;
    names.set_data_folder(own.string());
    std::ofstream(own / "A.TXT") << "mine";
    struct Case {
        std::string name;
        std::optional<std::string> read, write;
    } cases[] = {
        {"a.txt", (own / "A.TXT").string(), (own / "A.TXT").string()}, // the data folder's copy
        {"b.txt", "B.TXT", (own / "b.txt").string()},                  // shipped, then written
        {"data\\levels\\level1.txt", "Data/Levels/level1.txt",
         (own / "data/levels/level1.txt").string()},
        {"C:\\x.txt", "/x.txt", "/x.txt"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(names.to_host(c.name), c.read) << c.name;
        EXPECT_EQ(names.to_host_for_writing(c.name), c.write) << c.name;
    }
    // The shipped sub-folder exists in the data folder once something is written there.
    EXPECT_TRUE(fs::is_directory(own / "data/levels"));
    EXPECT_TRUE(names.write_stays_inside("new.txt"));
    EXPECT_FALSE(names.write_stays_inside("C:\\x.txt"));

    fs::remove_all(own);
}

// What the choosers hand to games: the Windows name of a host path, through the drive
// whose folder holds it most closely.
TEST(FileNames, HostPathsGetTheirWindowsNames) {
    FileNames names;
    names.map_drive('D', "/srv/games");
    names.map_drive('E', "/srv/games/big");
    struct Case {
        std::string host;
        std::optional<std::string> windows;
    } cases[] = {
        {"/home/ann/x.txt", "C:\\home\\ann\\x.txt"},
        {"/", "C:\\"},
        {"/srv/games", "D:\\"},
        {"/srv/games/save/one.sav", "D:\\save\\one.sav"},
        {"/srv/games/big/level.dat", "E:\\level.dat"}, // the closer drive wins
        {"/srv/gamesx/a", "C:\\srv\\gamesx\\a"},       // a prefix of a name is not a folder
        {"/home/ann/../bob/./y", "C:\\home\\bob\\y"},
        {"/home/caf\xc3\xa9.txt", "C:\\home\\caf\xe9.txt"}, // UTF-8 to Windows-1252
        {"/home/\xe2\x98\x83", std::nullopt},               // no Windows-1252 for a snowman
        {"relative/x", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(names.to_windows(c.host), c.windows) << c.host;

    FileNames boxed;
    boxed.map_drive('C', "/srv/games");
    EXPECT_EQ(boxed.to_windows("/etc/passwd"), std::nullopt);
    EXPECT_EQ(boxed.to_windows("/srv/games/a"), "C:\\a");
}
