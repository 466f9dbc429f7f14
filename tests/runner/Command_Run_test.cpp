// kelvane run from the outside: exit statuses and the messages on stderr.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>

#include "Sample_Game.h"
#include "runner/Runner_Load.h"

using namespace kelvane;
namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status;
    std::string err;
    std::string out;
};

std::string slurp(const fs::path& file) {
    std::ifstream in(file);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

Outcome run(const std::string& args, const fs::path& cwd) {
    // The outputs go beside the folder, so that they are not among its files.
    fs::path err_file = cwd.string() + ".stderr", out_file = cwd.string() + ".stdout";
    std::string cmd = "cd '" + cwd.string() + "' && '" + KELVANE_BINARY + "' run " + args +
                      " 2> '" + err_file.string() + "' > '" + out_file.string() + "'";
    int raw = std::system(cmd.c_str());
    Outcome o{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(err_file), slurp(out_file)};
    fs::remove(err_file);
    fs::remove(out_file);
    return o;
}

class RunCommand : public ::testing::Test {
  protected:
    fs::path dir;
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("kelvane-run-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    void write(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream o(dir / name, std::ios::binary);
        o.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
};

} // namespace

TEST_F(RunCommand, APreparedGameEndsNormally) {
    write("game.kgame", write_game_bytes(kelvane::testing::sample_game(), 1234));
    Outcome o = run("--headless --steps 5 game.kgame", dir);
    EXPECT_EQ(o.status, 0) << o.err;
}

TEST_F(RunCommand, LoadAndPrepareFailuresExitWithOneAndTheirMessage) {
    Game no_rooms = kelvane::testing::sample_game();
    no_rooms.room_order = {-1};
    write("norooms.kgame", write_game_bytes(no_rooms, 5));
    write("short.kgame", std::vector<uint8_t>(1000));
    auto bad_version = write_game_bytes(kelvane::testing::sample_game(), 0);
    bad_version[game_block_offset + 8] = 0xff; // version 511
    bad_version[game_block_offset + 9] = 0x01;
    write("new.kgame", bad_version);
    auto truncated = write_game_bytes(kelvane::testing::sample_game(), 0);
    truncated.resize(truncated.size() - 10);
    write("cut.kgame", truncated);

    struct Case {
        const char* args;
        const char* expect;
    } cases[] = {
        {"--headless norooms.kgame", "Game has no rooms?"},
        {"--headless short.kgame", "This is not a valid kelvane file."},
        {"--headless new.kgame", "Wrong version number; too large."},
        {"--headless cut.kgame", "game file damaged in section room order at byte offset"},
        {"--headless missing.kgame", "Cannot open the game file."},
    };
    for (const auto& c : cases) {
        Outcome o = run(c.args, dir);
        EXPECT_EQ(o.status, 1) << c.args;
        EXPECT_NE(o.err.find(c.expect), std::string::npos) << c.args << ": " << o.err;
    }
}

TEST_F(RunCommand, AProjectFolderIsPackedAndPlayed) {
    Outcome o =
        run(std::string("--headless --steps 5 '") + KELVANE_SOURCE_DIR + "/examples/demo'", dir);
    EXPECT_EQ(o.status, 0) << o.err;
    fs::create_directories(dir / "empty");
    o = run("--headless empty", dir);
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("holds no game file and no game project"), std::string::npos) << o.err;
}

TEST_F(RunCommand, WithNothingToPlayItPrintsAShortHelp) {
    Outcome o = run("--headless", dir);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find("no game named and no game.dat here"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("kelvane run GAME"), std::string::npos) << o.out;
}

TEST_F(RunCommand, AFolderWithOneGameFilePlaysIt) {
    auto bytes = write_game_bytes(kelvane::testing::sample_game(), 31);
    fs::create_directories(dir / "one");
    fs::create_directories(dir / "two");
    fs::create_directories(dir / "none");
    for (const char* name : {"one/Game.EXE", "two/a.kgame", "two/b.kgame"}) write(name, bytes);
    write("one/readme.txt", {'h', 'i'});
    write("none/readme.txt", {'h', 'i'});
    write("none/short.kgame", std::vector<uint8_t>(1000));
    Outcome o = run("--headless --steps 2 one", dir);
    EXPECT_EQ(o.status, 0) << o.err;
    o = run("--headless two", dir);
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("holds several game files"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("a.kgame"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("b.kgame"), std::string::npos) << o.err;
    o = run("--headless none", dir);
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("holds no game file"), std::string::npos) << o.err;
}

TEST_F(RunCommand, WithoutAGameNamedItPlaysGameDat) {
    write("game.dat", write_game_bytes(kelvane::testing::sample_game(), 77));
    EXPECT_EQ(run("--headless --steps 1", dir).status, 0);
}

TEST_F(RunCommand, TheTemporaryDirectoryIsRemovedAtExit) {
    write("game.kgame", write_game_bytes(kelvane::testing::sample_game(), 9));
    fs::create_directories(dir / "tmp");
    std::string cmd = "TMPDIR='" + (dir / "tmp").string() + "' '" + KELVANE_BINARY +
                      "' run --headless --steps 3 '" + (dir / "game.kgame").string() +
                      "' 2>/dev/null";
    int raw = std::system(cmd.c_str());
    EXPECT_EQ(WEXITSTATUS(raw), 0);
    EXPECT_TRUE(fs::is_empty(dir / "tmp"));
}
