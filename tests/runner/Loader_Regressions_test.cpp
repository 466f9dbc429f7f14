// Game blocks kept from fuzzing, and the fuzzer's seed corpus, load or fail cleanly.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "runner/Runner_Load.h"

using namespace kelvane;
namespace fs = std::filesystem;

namespace {
std::vector<uint8_t> read_all(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
} // namespace

TEST(LoaderRegressions, EveryFixtureFailsOrLoadsCleanly) {
    fs::path dir = fs::path(KELVANE_SOURCE_DIR) / "tests/runner/regressions";
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() != ".block") continue;
        Game g;
        LoadResult r = load_game_block(read_all(entry.path()), g);
        if (!r.ok) {
            EXPECT_FALSE(r.message.empty() && r.diagnostic.empty()) << entry.path();
        }
    }
}

TEST(LoaderRegressions, SeedCorpusLoads) {
    fs::path dir = fs::path(KELVANE_SOURCE_DIR) / "fuzz/corpus/fuzz_loader";
    int loaded = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        Game g;
        LoadResult r = load_game_block(read_all(entry.path()), g);
        EXPECT_TRUE(r.ok) << entry.path() << ": " << r.diagnostic;
        ++loaded;
    }
    EXPECT_GT(loaded, 0);
}
