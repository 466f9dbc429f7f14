// The colour, file and folder choosers: filters, masks, colour models, and the file
// chooser's choices in a folder of files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "functions/Chooser_Colour.h"
#include "functions/Chooser_File.h"
#include "platform/Files.h"

using namespace kelvane;
namespace fs = std::filesystem;

TEST(FileChooser, FilterTextsBecomeChoicesOfMasks) {
    using F = std::vector<RFileFilter>;
    struct Case {
        std::string text;
        F filters;
    } cases[] = {
        {"", {}},
        {"Text files|*.txt", {{"Text files", {"*.txt"}}}},
        {"Pictures|*.bmp; *.png ;*.jpg|All files|*.*",
         {{"Pictures", {"*.bmp", "*.png", "*.jpg"}}, {"All files", {"*.*"}}}},
        {"No masks||Levels|*.lvl", {{"Levels", {"*.lvl"}}}}, // a pair without masks
        {"Levels|*.lvl|Dangling", {{"Levels", {"*.lvl"}}}},  // a description alone
        {"Only a description", {}},
        {"Odd|;; ;|Saves|*.sav;", {{"Saves", {"*.sav"}}}},
    };
    for (const auto& c : cases) EXPECT_EQ(parse_filter(c.text), c.filters) << c.text;
}

TEST(FileChooser, MasksMatchAsTheWindowsChoosersDo) {
    struct Case {
        const char *mask, *name;
        bool match;
    } cases[] = {
        {"*.txt", "notes.TXT", true}, {"*.txt", "notes.txt.bak", false},
        {"*.*", "README", true},      {"*.*", "a.b.c", true},
        {"level?.*", "level1", true}, {"level?.*", "level12", false},
        {"*", "anything", true},      {"*.png", "png", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(filter_mask_matches(c.mask, c.name), c.match) << c.mask << " " << c.name;
}

TEST(ColourChooser, ColourModelsConvert) {
    struct Case {
        RRgb rgb;
        RHsv hsv;
    } cases[] = {
        {{255, 0, 0}, {0, 100, 100}},     {{0, 255, 0}, {120, 100, 100}},
        {{0, 0, 255}, {240, 100, 100}},   {{255, 255, 0}, {60, 100, 100}},
        {{255, 0, 255}, {300, 100, 100}}, {{0, 0, 0}, {0, 0, 0}},
        {{255, 255, 255}, {0, 0, 100}},   {{128, 64, 0}, {30, 100, 50}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rgb_to_hsv(c.rgb), c.hsv) << c.rgb.r << "," << c.rgb.g << "," << c.rgb.b;
        EXPECT_EQ(hsv_to_rgb(c.hsv), c.rgb) << c.hsv.h << "," << c.hsv.s << "," << c.hsv.v;
    }
    // A grey's hue is 0; a hue of 360 is 0 again; out-of-range parts are held.
    EXPECT_EQ(rgb_to_hsv({90, 90, 90}).s, 0);
    EXPECT_EQ(hsv_to_rgb({360, 100, 100}), (RRgb{255, 0, 0}));
    EXPECT_EQ(hsv_to_rgb({-120, 150, 100}), (RRgb{0, 0, 255}));
    // Every colour of the model survives the trip through hue, saturation and value to
    // within the rounding of whole percents.
    for (int32_t c = 0; c < 0x1000000; c += 0x010307) {
        RRgb rgb = rgb_of_colour(uint32_t(c)), back = hsv_to_rgb(rgb_to_hsv(rgb));
        ASSERT_LE(std::abs(back.r - rgb.r) + std::abs(back.g - rgb.g) + std::abs(back.b - rgb.b),
                  12)
            << c;
    }
    EXPECT_EQ(colour_of_rgb({1, 2, 3}), 1u + 2u * 256 + 3u * 65536);
    EXPECT_EQ(rgb_of_colour(0x030201), (RRgb{1, 2, 3}));
}

TEST(ColourChooser, AnswersGiveAColourOrCancel) {
    struct Case {
        std::string line;
        std::optional<uint32_t> colour;
    } cases[] = {
        {"255", 255u},
        {"#00FF00", 0x00FF00u},
        {"#0000ff", 0xFF0000u},
        {"#FF8000", 0x0080FFu},
        {"10,20,30", 10u + 20u * 256 + 30u * 65536},
        {"", std::nullopt},
        {"cancel", std::nullopt},
        {"-1", std::nullopt},
        {"16777216", std::nullopt},
        {"#12345", std::nullopt},
        {"1,2", std::nullopt},
        {"1,2,3,4", std::nullopt},
        {"1,256,3", std::nullopt},
        {"#GG0000", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(parse_colour_answer(c.line), c.colour) << c.line;
    TColourForm form(0x123456);
    form.answer("#FF0000");
    EXPECT_TRUE(form.closed && form.accepted);
    EXPECT_EQ(form.colour, 0x0000FFu);
    TColourForm cancelled(0x123456);
    cancelled.answer("no");
    EXPECT_TRUE(cancelled.closed);
    EXPECT_FALSE(cancelled.accepted);
}

// Driven by the keys: Tab goes to the red field with its text selected, and what is
// typed then, over several frames, replaces it; the arrows walk the palette.
TEST(ColourChooser, TheKeysWalkThePaletteAndTypeIntoTheFields) {
    CFonts fonts;
    RUiState state;
    DDSurface surface;
    ASSERT_TRUE(surface.create(400, 236, false, 0, false));
    TColourForm form(colour_of_rgb({191, 191, 0}));
    auto frame = [&](std::vector<int32_t> keys, std::string text = "") {
        RUiInput in;
        in.keys = std::move(keys);
        in.text = std::move(text);
        CUi ui(surface, fonts, state, in);
        form.frame(ui);
    };
    frame({});
    frame({vk_right});
    EXPECT_EQ(form.colour, colour_palette()[19]); // the next cell of the yellow one
    frame({vk_left});
    frame({vk_tab});
    frame({}); // the other fields, drawn after it, leave its selection alone
    frame({'1'}, "1");
    frame({'0'}, "0");
    EXPECT_EQ(rgb_of_colour(form.colour), (RRgb{10, 191, 0}));
    frame({vk_return});
    EXPECT_TRUE(form.closed && form.accepted);
}

namespace {

class ChooserFolder : public ::testing::Test {
  protected:
    fs::path root;
    FileNames names;
    void SetUp() override {
        root = fs::temp_directory_path() / ("kelvane-chooser-" + std::to_string(::getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "Saves" / "old");
        fs::create_directories(root / "art");
        for (const char* f :
             {"Level1.LVL", "level2.lvl", "notes.txt", "README", ".hidden.lvl", "Saves/one.sav"})
            std::ofstream(root / f) << "x";
    }
    void TearDown() override { fs::remove_all(root); }
    std::string win(const fs::path& p) { return names.to_windows(p.string()).value(); }
    static std::vector<std::string> listed(const TFileForm& f) {
        std::vector<std::string> out;
        for (const auto& e : f.entries()) out.push_back((e.folder ? "[" : "") + e.name);
        return out;
    }
};

} // namespace

TEST_F(ChooserFolder, TheListHoldsFoldersThenTheFilesOfTheFilter) {
    TFileForm open(names, ChooserKind::open_file, root.string(), "",
                   parse_filter("Levels|*.lvl|Everything|*.*"));
    EXPECT_EQ(listed(open),
              (std::vector<std::string>{"[art", "[Saves", "Level1.LVL", "level2.lvl"}));
    // A mask typed into the name field replaces the filter.
    open.accept_typed("*.txt");
    EXPECT_FALSE(open.closed);
    EXPECT_EQ(listed(open), (std::vector<std::string>{"[art", "[Saves", "notes.txt"}));
    // Without a filter every file shows; the folder chooser shows folders only.
    TFileForm all(names, ChooserKind::save_file, root.string(), "", {});
    EXPECT_EQ(all.entries().size(), 6u); // two folders, four files; the hidden one not
    TFileForm folders(names, ChooserKind::folder, root.string(), "", {});
    EXPECT_EQ(listed(folders), (std::vector<std::string>{"[art", "[Saves"}));
}

TEST_F(ChooserFolder, TypedNamesAreWindowsNamesInAnyLetterCase) {
    // A name relative to the folder shown, in another letter case and with a backslash.
    TFileForm open(names, ChooserKind::open_file, root.string(), "", {});
    open.answer("saves\\ONE.SAV");
    EXPECT_EQ(open.result, win(root / "Saves" / "one.sav"));
    // A full Windows name.
    TFileForm full(names, ChooserKind::open_file, "/", "", {});
    full.answer(win(root / "notes.txt"));
    EXPECT_EQ(full.result, win(root / "notes.txt"));
    // A folder's name moves there; the file must exist to be opened.
    TFileForm moving(names, ChooserKind::open_file, root.string(), "", {});
    moving.accept_typed("SAVES");
    EXPECT_FALSE(moving.closed);
    EXPECT_EQ(moving.folder(), (root / "Saves").string());
    moving.accept_typed("missing.sav");
    EXPECT_FALSE(moving.closed);
    EXPECT_EQ(moving.status(), "The file does not exist.");
    moving.answer("missing.sav");
    EXPECT_TRUE(moving.closed);
    EXPECT_EQ(moving.result, "");
    // Saving takes a new name in a folder that exists, not in one that does not.
    TFileForm save(names, ChooserKind::save_file, root.string(), "", {});
    save.accept_typed("nowhere\\new.sav");
    EXPECT_FALSE(save.closed);
    save.answer("new.sav");
    EXPECT_EQ(save.result, win(root / "new.sav"));
    // An empty answer cancels.
    TFileForm cancel(names, ChooserKind::save_file, root.string(), "x.sav", {});
    cancel.answer("");
    EXPECT_TRUE(cancel.closed);
    EXPECT_EQ(cancel.result, "");
}

TEST_F(ChooserFolder, FolderChoosersStayUnderTheirRoot) {
    TFileForm browse(names, ChooserKind::folder, "/", "", {}, (root / "Saves").string(), "Pick");
    EXPECT_EQ(browse.folder(), (root / "Saves").string()); // the start lies above the root
    browse.accept_typed("..\\..");
    EXPECT_FALSE(browse.closed);
    browse.answer("..");
    EXPECT_EQ(browse.result, "");
    TFileForm pick(names, ChooserKind::folder, root.string(), "", {});
    pick.answer("saves\\OLD");
    EXPECT_EQ(pick.result, win(root / "Saves" / "old"));
    TFileForm here(names, ChooserKind::folder, root.string(), "", {});
    here.answer(".");
    EXPECT_EQ(here.result, win(root));
    TFileForm none(names, ChooserKind::folder, root.string(), "", {});
    none.answer("notes.txt"); // a file is not a folder
    EXPECT_EQ(none.result, "");
}
