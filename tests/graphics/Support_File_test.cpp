// The temporary directory of a run: a run killed before it could remove its directory
// leaves it to the next run, which removes it; directories of live runs and of others stay.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

#include "graphics/Support_File.h"

using namespace kelvane;
namespace fs = std::filesystem;

TEST(TempDirectory, TheNextRunRemovesWhatKilledRunsLeft) {
    fs::path base = fs::temp_directory_path() / ("kelvane-tempdirs-" + std::to_string(::getpid()));
    fs::remove_all(base);
    fs::create_directories(base);
    const char* old = std::getenv("TMPDIR");
    std::string saved = old ? old : "";
    ::setenv("TMPDIR", base.c_str(), 1);

    // A run killed with its directory made.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t child = ::fork();
    if (child == 0) {
        TempDirectory t;
        if (!t.create()) ::_exit(1);
        std::ofstream(fs::path(t.path()) / "a123.wav") << "sound";
        char c = 1;
        (void)!::write(ready[1], &c, 1);
        ::pause();
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    std::vector<fs::path> killed;
    for (const auto& e : fs::directory_iterator(base)) killed.push_back(e.path());
    ASSERT_EQ(killed.size(), 1u);

    // A folder that only looks like a run's, and one whose owner's id now names another
    // process (this one) that started at another time.
    fs::create_directories(base / "g123");
    std::ofstream(base / "g123" / "keep") << "x";
    fs::create_directories(base / "g77");
    std::ofstream(base / "g77" / ".kelvane-run") << ::getpid() << " 1\n";

    TempDirectory live;
    ASSERT_TRUE(live.create());
    TempDirectory next;
    ASSERT_TRUE(next.create());
    EXPECT_FALSE(fs::exists(killed[0]));
    EXPECT_FALSE(fs::exists(base / "g77"));
    EXPECT_TRUE(fs::exists(base / "g123" / "keep"));
    EXPECT_TRUE(fs::exists(live.path())); // this run is alive
    next.remove();
    live.remove();
    if (old)
        ::setenv("TMPDIR", saved.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
    fs::remove_all(base);
}
