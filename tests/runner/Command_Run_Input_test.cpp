// kelvane run --input: a scripted input file that cannot be used stops the run before it
// starts, naming the file and the bad line.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/wait.h>

namespace fs = std::filesystem;

TEST(RunInput, BadInputFilesAreRefusedWithTheirLine) {
    fs::path dir = fs::temp_directory_path() / ("kelvane-run-input-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "bad.txt") << "1 key-down 37\n2 key-dwon 37\n";
    struct Case {
        std::string file, message;
    };
    const Case cases[] = {
        {"bad.txt", "the input file bad.txt: line 2: unknown event \"key-dwon\""},
        {"missing.txt", "the input file missing.txt: cannot be read"},
    };
    for (const Case& c : cases) {
        std::string cmd = "cd '" + dir.string() + "' && '" + KELVANE_BINARY +
                          "' run --headless --input " + c.file + " game.kgame 2> err.txt";
        int raw = std::system(cmd.c_str());
        ASSERT_TRUE(WIFEXITED(raw));
        EXPECT_EQ(WEXITSTATUS(raw), 1);
        std::ifstream in(dir / "err.txt");
        std::string err((std::istreambuf_iterator<char>(in)), {});
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
    }
    fs::remove_all(dir);
}
