// Every command called the wrong way: one line on stderr and exit status 2; options with
// their value after '='; a game named in place of a command.
#include <gtest/gtest.h>

#include <fstream>

#include "Program_Run.h"
#include "Sample_Game.h"
#include "runner/Runner_Load.h"

using namespace kelvane;
using namespace kelvane::testing;
namespace fs = std::filesystem;

namespace {

class Usage : public ::testing::Test {
  protected:
    fs::path dir;
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("kelvane-usage-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        auto bytes = write_game_bytes(sample_game(), 1234);
        std::ofstream(dir / "game.kgame", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    void TearDown() override { fs::remove_all(dir); }
};

} // namespace

TEST_F(Usage, EveryCommandCalledWrongSaysWhyOnOneLineAndExitsWithTwo) {
    struct Case {
        std::vector<std::string> args;
        const char* expect;
    } cases[] = {
        {{}, "usage: kelvane COMMAND"},
        {{"run", "--steps", "x", "game.kgame"}, "kelvane run: --steps needs a whole number"},
        {{"run", "--steps"}, "kelvane run: --steps needs a value (see kelvane run --help)"},
        {{"run", "--headless=yes", "game.kgame"}, "--headless takes no value"},
        {{"run", "--fulscreen", "game.kgame"}, "kelvane run: unknown option --fulscreen"},
        {{"run", "--input", "x.txt", "game.kgame"}, "--input goes with --headless"},
        {{"run", "a.kgame", "b.kgame"}, "more than one game named"},
        {{"pack", "x"}, "kelvane pack: needs an input and -o (see kelvane pack --help)"},
        {{"pack", "x", "-o", "y", "--seed", "214749"}, "above 214748"},
        {{"pack", "x", "-o", "y", "--seed=12x"}, "--seed needs a whole number"},
        {{"unpack", "game.kgame"}, "kelvane unpack: needs an input and -o"},
        {{"unpack", "game.kgame", "-o", "p", "--seed", "3"}, "unknown option --seed"},
        {{"info"}, "kelvane info: needs a game file"},
        {{"info", "--yaml", "game.kgame"}, "kelvane info: unknown option --yaml"},
        {{"info", "game.kgame", "game.kgame"}, "more than one file named"},
        {{"exec"}, "kelvane exec: needs -e CODE or a FILE"},
        {{"exec", "-e"}, "kelvane exec: -e needs a value"},
        {{"exec", "-e", "x", "file.txt"}, "unexpected argument 'file.txt'"},
        {{"exec", "--seed=x", "-e", "1"}, "--seed needs a whole number"},
        {{"rnu", "game.kgame"},
         "kelvane: unknown command or missing file 'rnu'; did you mean 'run'?"},
        {{"frobnicate"}, "unknown command or missing file 'frobnicate' (see kelvane --help)"},
    };
    for (const auto& c : cases) {
        ProgramResult r = run_kelvane_in(dir, c.args);
        EXPECT_EQ(r.status, 2) << c.expect << "\n" << r.err;
        EXPECT_NE(r.err.find(c.expect), std::string::npos) << r.err;
        if (!c.args.empty()) {
            EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err; // one line
        }
        EXPECT_EQ(r.out, "") << c.expect;
    }
}

TEST_F(Usage, OptionsTakeTheirValueAfterAnEqualsSign) {
    ProgramResult r = run_kelvane_in(dir, {"run", "--headless", "--steps=3", "--seed=-5",
                                           "--workdir=" + dir.string(),
                                           "--frames=" + (dir / "frames").string(), "game.kgame"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir / "frames" / "frame-000003.png"));
    r = run_kelvane_in(dir, {"exec", "--seed=3", "-e", "return string(1 + 2)"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "3\n");
}

TEST_F(Usage, AGameNamedInPlaceOfACommandIsPlayed) {
    ProgramResult r = run_kelvane_in(dir, {"game.kgame", "--headless", "--steps", "2"});
    EXPECT_EQ(r.status, 0) << r.err;
    // A project folder too.
    r = run_kelvane_in(
        dir, {std::string(KELVANE_SOURCE_DIR) + "/examples/demo", "--headless", "--steps=2"});
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(Usage, HelpOfEveryCommandExitsWithZero) {
    for (const char* command : {"run", "pack", "unpack", "info", "exec", "fuse"}) {
        ProgramResult r = run_kelvane_in(dir, {command, "--help"});
        EXPECT_EQ(r.status, 0) << command;
        EXPECT_NE(r.out.find(std::string("usage: kelvane ") + command), std::string::npos);
    }
    EXPECT_EQ(run_kelvane_in(dir, {"--help"}).status, 0);
}

TEST_F(Usage, WithoutADisplayRunSaysSoAndEndsAtOnce) {
    ProgramResult r =
        run_kelvane_in(dir, {"run", "game.kgame"},
                       "env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER timeout 20");
    EXPECT_EQ(r.status, 1) << r.err; // 124 would be a game playing on in no window
    EXPECT_NE(r.err.find("cannot open the game window (no display"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("add --headless"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err; // nothing else said
}
