// The composed error text, the dialog's answers and the log file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "platform/Platform.h"
#include "run/Runner_Debug.h"

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
