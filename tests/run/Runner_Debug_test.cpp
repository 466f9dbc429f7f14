// The composed error text, the dialog's answers and the log file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "platform/Platform.h"
#include "run/Runner_Debug.h"
#include "run/Runtime.h"

using namespace kelvane;
namespace fs = std::filesystem;

namespace {

struct ScriptedDialogs : Dialogs {
    bool answer_abort = false;
    std::vector<std::pair<std::string, bool>> shown;
    void show_message(const std::string&) override {}
    bool show_error(const std::string& text, bool can_ignore) override {
        shown.emplace_back(text, can_ignore);
        return answer_abort || !can_ignore;
    }
};

const ErrorPlace place{2, "Step Event", "obj_player"};

} // namespace

TEST(ErrorReport, ComposedText) {
    EXPECT_EQ(compose_error("Division by zero.", false, place),
              "ERROR in\r\naction number 3\r\nof Step Event\r\nfor object obj_player:\r\n\r\n"
              "Division by zero.");
    EXPECT_EQ(compose_error("x", true, {0, "Creation Event", "<undefined>"}).substr(0, 24),
              "FATAL ERROR in\r\naction n");
}

TEST(ErrorReport, DialogsDecideWhetherTheGameEnds) {
    bool first = true;
    ScriptedDialogs d;
    ErrorOptions o;
    auto r = report_running_error("m", false, place, o, d, first);
    EXPECT_FALSE(r.fatal);
    ASSERT_EQ(d.shown.size(), 1u);
    EXPECT_TRUE(d.shown[0].second); // Abort and Ignore
    d.answer_abort = true;
    r = report_running_error("m", false, place, o, d, first);
    EXPECT_TRUE(r.fatal);                     // Abort chosen
    EXPECT_EQ(r.text.substr(0, 6), "ERROR "); // composed before the choice
    o.abort_on_error = true;
    d.answer_abort = false;
    r = report_running_error("m", false, place, o, d, first);
    EXPECT_TRUE(r.fatal);
    EXPECT_FALSE(d.shown.back().second); // Abort only
    o.show_errors = false;
    o.abort_on_error = false;
    size_t before = d.shown.size();
    r = report_running_error("m", false, place, o, d, first);
    EXPECT_EQ(d.shown.size(), before); // not shown, game goes on
    EXPECT_FALSE(r.fatal);
    o.show_errors = true;
    o.exclusive_mode = true;
    report_running_error("m", false, place, o, d, first);
    EXPECT_EQ(d.shown.size(), before); // no dialogs in exclusive mode
}

TEST(ErrorReport, TheFirstLoggedErrorReplacesTheLog) {
    fs::path dir = fs::temp_directory_path() / ("kelvane-errlog-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::path old = fs::current_path();
    fs::current_path(dir);
    std::ofstream("game_errors.log") << "old run";
    ScriptedDialogs d;
    ErrorOptions o;
    o.show_errors = false;
    o.log_errors = true;
    bool first = true;
    report_running_error("one", false, place, o, d, first);
    report_running_error("two", false, place, o, d, first);
    std::ifstream in("game_errors.log", std::ios::binary);
    std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string entry = compose_error("one", false, place) + "\r\n\r\n\r\n";
    EXPECT_EQ(log, entry + compose_error("two", false, place) + "\r\n\r\n\r\n");
    fs::current_path(old);
    fs::remove_all(dir);
}

// ---- the debug window's model ----

TEST(DebugWindow, WatchValuesShowWholeNumbersAsIntegersAndOthersWithTwoDecimals) {
    struct Case {
        RValue value;
        const char* text;
    } cases[] = {
        {RValue(3.0), "3"},
        {RValue(-42.0), "-42"},
        {RValue(-0.0), "0"},
        {RValue(2.5), "2.50"},
        {RValue(1.0 / 3), "0.33"},
        {RValue(-0.001), "0.00"},
        {RValue(-2.675), "-2.67"}, // the double below 2.675 rounds down
        {RValue(1e15), "1000000000000000"},
        {RValue(12345678901.5), "1.23456789E10"},
        {RValue("ERROR"), "ERROR"},
        {RValue("a\tb"), "a\tb"},
        {RValue(""), ""},
    };
    for (const Case& c : cases) EXPECT_EQ(watch_value_text(c.value), c.text) << c.text;
}

TEST(DebugWindow, WatchGridAddChangeDeleteAndDeleteAll) {
    CWatchGrid g;
    EXPECT_EQ(g.row_count(), 2); // the header and the empty last row
    EXPECT_TRUE(g.empty_row_selected());
    g.add("");
    EXPECT_EQ(g.row_count(), 2) << "an empty text adds nothing";
    g.add("a");
    g.add("b");
    g.add("c");
    ASSERT_EQ(g.row_count(), 5);
    EXPECT_EQ(g.expression(1), "a");
    EXPECT_EQ(g.expression(3), "c");
    EXPECT_EQ(g.expression(4), "") << "the last row stays empty";

    // Changing the empty last row adds; changing a watch replaces its text.
    g.change(4, "d");
    EXPECT_EQ(g.row_count(), 6);
    EXPECT_EQ(g.expression(4), "d");
    g.change(2, "B");
    EXPECT_EQ(g.expression(2), "B");
    EXPECT_EQ(g.row_count(), 6);

    // Deleting with the empty last row selected does nothing.
    g.select(5);
    EXPECT_TRUE(g.empty_row_selected());
    g.delete_selected();
    EXPECT_EQ(g.row_count(), 6);

    // Deleting a middle row moves the rows below up.
    g.select(2);
    g.delete_selected();
    EXPECT_EQ(g.row_count(), 5);
    EXPECT_EQ(g.expression(1), "a");
    EXPECT_EQ(g.expression(2), "c");
    EXPECT_EQ(g.expression(3), "d");
    EXPECT_EQ(g.expression(4), "");
    // The last watch deleted: the selection is on the empty row now.
    g.select(3);
    g.delete_selected();
    EXPECT_EQ(g.row_count(), 4);
    EXPECT_TRUE(g.empty_row_selected());

    g.select(0); // the header cannot be selected
    EXPECT_EQ(g.selected(), 3);
    g.delete_all();
    EXPECT_EQ(g.row_count(), 2);
    EXPECT_EQ(g.expression(1), "");
}

TEST(DebugWindow, WatchesEvaluateSilentlyAndAChangedTextIsCompiledAgain) {
    Runtime rt;
    CWatchGrid g;
    g.add("1 + 2");
    g.add("7 / 2");
    g.add("\"x\" + \"y\"");
    g.add("nosuch_variable");
    g.add("1 +");
    g.refresh(rt);
    EXPECT_EQ(g.values(), (std::vector<std::string>{"3", "3.50", "xy", "ERROR", "ERROR"}));
    EXPECT_FALSE(rt.script.values.error_occurred) << "watch errors are not reported";
    g.change(1, "10 * 10");
    g.refresh(rt);
    EXPECT_EQ(g.value(1), "100");
}

TEST(DebugWindow, ButtonsAreEnabledByTheRunState) {
    RDebugButtons b;
    auto state = [&] {
        return std::string(b.restart ? "R" : "-") + (b.run ? "r" : "-") + (b.pause ? "p" : "-") +
               (b.step ? "s" : "-") + (b.stop ? "S" : "-");
    };
    EXPECT_EQ(state(), "R-p-S"); // at first: Run and Step disabled
    debug_buttons_paused(b);
    EXPECT_EQ(state(), "-r-sS");
    debug_buttons_running(b);
    EXPECT_EQ(state(), "R-p-S");
}
