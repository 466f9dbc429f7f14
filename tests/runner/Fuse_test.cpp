// Standalone games: the trailer is found only when sound, and a fused program plays its
// game with the options of run.
#include <gtest/gtest.h>

#include <fstream>

#include "Program_Run.h"
#include "Sample_Game.h"
#include "runner/Runner_Fuse.h"
#include "runner/Runner_Load.h"

using namespace kelvane;
using namespace kelvane::testing;
namespace fs = std::filesystem;

namespace {

class Fuse : public ::testing::Test {
  protected:
    fs::path dir;
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("kelvane-fuse-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    void write(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream(dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
};

} // namespace

TEST_F(Fuse, TheTrailerIsFoundOnlyWhenItFitsTheFile) {
    std::vector<uint8_t> program(100, 'x'), block(40, 'b');
    auto file = program;
    file.insert(file.end(), block.begin(), block.end());
    auto trailer = fuse_trailer(block.size());
    file.insert(file.end(), trailer.begin(), trailer.end());
    write("good", file);
    auto found = find_fused_block((dir / "good").string());
    ASSERT_TRUE(found);
    EXPECT_EQ(found->offset, 100u);
    EXPECT_EQ(found->size, 40u);

    struct Case {
        const char* name;
        uint64_t claimed;
    } bad[] = {{"too-large", 200}, {"zero", 0}, {"huge", UINT64_MAX}};
    for (const auto& c : bad) {
        auto f = program;
        auto t = fuse_trailer(c.claimed);
        f.insert(f.end(), t.begin(), t.end());
        write(c.name, f);
        EXPECT_FALSE(find_fused_block((dir / c.name).string())) << c.name;
    }
    write("short", {'K', 'L'});
    EXPECT_FALSE(find_fused_block((dir / "short").string()));
    EXPECT_FALSE(find_fused_block((dir / "missing").string()));
}

TEST_F(Fuse, AFusedProgramPlaysItsGameWithTheOptionsOfRun) {
    write("game.kgame", write_game_bytes(sample_game(), 77));
    ProgramResult r = run_kelvane_in(dir, {"fuse", "game.kgame", "-o", "mygame"});
    ASSERT_EQ(r.status, 0) << r.err;
    // The program runs from anywhere: the game is inside it.
    fs::create_directories(dir / "elsewhere");
    const std::string program = (dir / "mygame").string();
    r = run_program_in(dir / "elsewhere", program, {"--headless", "--steps", "3"});
    EXPECT_EQ(r.status, 0) << r.err;
    r = run_program_in(dir, program, {"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("usage: kelvane run"), std::string::npos) << r.out;
    r = run_program_in(dir, program, {"--steps=x"});
    EXPECT_EQ(r.status, 2);
    // The other commands read a fused program as a game file.
    r = run_kelvane_in(dir, {"info", "--json", "mygame"});
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(Fuse, ABrokenGameIsNotFused) {
    write("short.kgame", std::vector<uint8_t>(1000));
    ProgramResult r = run_kelvane_in(dir, {"fuse", "short.kgame", "-o", "mygame"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("This is not a valid kelvane file."), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "mygame"));
    r = run_kelvane_in(dir, {"fuse", "short.kgame"});
    EXPECT_EQ(r.status, 2);
}
