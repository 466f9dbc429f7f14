// Every command handed a file it cannot use (a folder, a missing file, an unreadable file,
// an empty file) says so on one line that names the file and the reason, and exits with 1.
#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

#include "Program_Run.h"

using namespace kelvane::testing;
namespace fs = std::filesystem;

namespace {

class BadFiles : public ::testing::Test {
  protected:
    fs::path dir;
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("kelvane-files-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir / "folder");
        std::ofstream(dir / "empty.kgame");
        std::ofstream(dir / "locked.kgame") << "data";
        fs::permissions(dir / "locked.kgame", fs::perms::none);
        // A link to itself cannot be opened even by root, who reads files without rights.
        fs::create_symlink("loop.kgame", dir / "loop.kgame");
    }
    void TearDown() override { fs::remove_all(dir); }
};

} // namespace

TEST_F(BadFiles, EveryCommandNamesTheFileAndTheReason) {
    struct Bad {
        std::string name, reason;
    };
    std::vector<Bad> bad = {
        {"folder", ""}, // each command says it in its own words
        {"missing.kgame", "No such file or directory"},
        {"loop.kgame", "Too many levels of symbolic links"},
        {"empty.kgame", ""},
    };
    if (::geteuid() != 0) bad.push_back({"locked.kgame", "Permission denied"});
    for (const auto& b : bad) {
        const std::vector<std::vector<std::string>> commands = {
            {"run", "--headless", b.name},
            {"info", b.name},
            {"info", "--json", b.name},
            {"unpack", b.name, "-o", "out"},
            {"pack", b.name, "-o", "out.kgame"},
            {"exec", b.name},
            {b.name, "--headless"},
        };
        for (const auto& args : commands) {
            std::string call;
            for (const auto& a : args) call += a + " ";
            ProgramResult r = run_kelvane_in(dir, args);
            if (b.name == "missing.kgame" && args[0] == b.name) {
                // Neither a command nor a file: a usage error.
                EXPECT_EQ(r.status, 2) << call << r.err;
                continue;
            }
            // An empty file of code is a program that returns 0.
            if (args[0] == "exec" && b.name == "empty.kgame") {
                EXPECT_EQ(r.status, 0) << call << r.err;
                continue;
            }
            EXPECT_EQ(r.status, 1) << call << r.err;
            EXPECT_NE(r.err.find(b.name), std::string::npos) << call << r.err;
            EXPECT_NE(r.err.find(b.reason), std::string::npos) << call << r.err;
            EXPECT_EQ(r.err.find("internal error"), std::string::npos) << call << r.err;
            EXPECT_EQ(r.out, "") << call;
        }
    }
    EXPECT_FALSE(fs::exists(dir / "out"));
    EXPECT_FALSE(fs::exists(dir / "out.kgame"));
}

TEST_F(BadFiles, AnOutputThatCannotBeWrittenIsNamed) {
    const std::string demo = std::string(KELVANE_SOURCE_DIR) + "/examples/demo";
    ProgramResult r = run_kelvane_in(dir, {"pack", demo, "-o", "folder"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("folder: cannot be written: is a folder"), std::string::npos) << r.err;
    r = run_kelvane_in(dir, {"pack", demo, "-o", "nowhere/x.kgame"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("nowhere/x.kgame: cannot be written: No such file or directory"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(fs::is_empty(dir / "folder"));
}
