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

// The hand-made seeds (named) are sound games and load; what long fuzzing runs kept there
// (named by their SHA-1) loads or is refused with a reason. Both as the tools load a game
// and as a game is loaded to run.
TEST(LoaderRegressions, SeedCorpusLoadsOrFailsCleanly) {
    fs::path dir = fs::path(KELVANE_SOURCE_DIR) / "fuzz/corpus/fuzz_loader";
    int named = 0;
    for (const auto& entry : fs::directory_iterator(dir))
        for (bool keep : {true, false}) {
            Game g;
            LoadOptions options;
            options.keep_encodings = keep;
            LoadResult r = load_game_block(read_all(entry.path()), g, {}, options);
            const std::string name = entry.path().filename().string();
            const bool found_by_fuzzing =
                name.size() == 40 &&
                name.find_first_not_of("0123456789abcdef") == std::string::npos;
            if (found_by_fuzzing) {
                if (!r.ok) {
                    EXPECT_FALSE(r.message.empty() && r.diagnostic.empty()) << entry.path();
                }
            } else {
                EXPECT_TRUE(r.ok) << entry.path() << ": " << r.diagnostic;
                ++named;
            }
        }
    EXPECT_GT(named, 0);
}
