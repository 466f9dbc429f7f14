// The high-score table: places, insertion and the registry store.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "functions/Run_Score.h"
#include "platform/Registry_Store.h"

using namespace kelvane;

namespace {
RScoreTable table_of(std::initializer_list<int32_t> values) {
    RScoreTable t;
    size_t i = 0;
    for (int32_t v : values) t[i++] = {"p" + std::to_string(i), v};
    return t;
}
} // namespace

TEST(HighScores, EqualValuesGoBelowAndPlaceTenIsLost) {
    RScoreTable t = table_of({100, 90, 90, 50, 0, 0, 0, 0, 0, 7});
    t[9].value = -1;
    EXPECT_EQ(score_place(t, 90), 4);
    score_insert(t, 4, "X", 90);
    EXPECT_EQ(t[3], (RScoreEntry{"X", 90}));
    EXPECT_EQ(t[4].value, 50);
    EXPECT_EQ(t[9].value, 0); // the old tenth is gone
}

TEST(HighScores, AValueNotAboveTheTenthHasNoPlace) {
    RScoreTable t = table_of({10, 9, 8, 7, 6, 5, 4, 3, 2, 1});
    EXPECT_EQ(score_place(t, 1), 0);
    EXPECT_EQ(score_place(t, 2), 10);
    EXPECT_EQ(score_place(t, 11), 1);
    RScoreTable fresh;
    EXPECT_EQ(score_place(fresh, 0), 0);
    EXPECT_EQ(score_place(fresh, 1), 1);
}

TEST(HighScores, TheStoreKeepsNamesOfAnyCharacters) {
    auto path = std::filesystem::temp_directory_path() /
                ("kelvane-scores-" + std::to_string(::getpid()) + ".txt");
    std::filesystem::remove(path);
    {
        RegistryStore store(path.string());
        RScoreTable t = read_scores(store, 5);
        EXPECT_EQ(t[0], (RScoreEntry{"<nobody>", 0}));
        score_insert(t, 1, "A \"quoted\"\nname\\ = x", 120);
        write_scores(store, 5, t);
    }
    RegistryStore again(path.string());
    RScoreTable t = read_scores(again, 5);
    EXPECT_EQ(t[0], (RScoreEntry{"A \"quoted\"\nname\\ = x", 120}));
    EXPECT_EQ(t[1], (RScoreEntry{"<nobody>", 0}));
    EXPECT_TRUE(again.read("\\Software\\Kelvane 4\\5", "Value1").has_value());
    std::filesystem::remove(path);
}
