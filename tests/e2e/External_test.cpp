// Games that call functions of their own libraries: the test library of the suite is placed
// beside the game under a Linux name and the game asks for it by its Windows name.
#include "Game_Runner.h"

using namespace kelvane::e2e;

namespace {
std::string logging_game(const std::string& create_code) {
    return R"({"options": {"show_errors": false, "log_errors": true},
      "objects": [{"name": "o", "events": [)" +
           event("create", 0, {code(create_code)}) +
           R"(]}], "rooms": [{"name": "r", "instances": [{"object": "o"}]}]})";
}

// Writes the object's variable s to out.txt.
const std::string write_local_s =
    "file_open_write(\"out.txt\"); file_write_string(s); file_close();";

size_t count_of(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}
} // namespace

TEST_F(GameTest, ExternalFunctionsOfEveryShapeAreDefinedAndCalled) {
    fs::copy_file(KELVANE_TEST_LIBRARY, dir / "extlib.so");
    write("kelvane-project.json", logging_game(R"(
        lib = "ExtLib.DLL";
        d[0] = external_define0(lib, "digits0", ty_real);
        d[1] = external_define1(lib, "digits1", ty_real, ty_real);
        d[2] = external_define2(lib, "digits2", 0, 0, 0);
        d[3] = external_define3(lib, "digits3", 0, 0, 0, 0);
        d[4] = external_define4(lib, "digits4", 0, 0, 0, 0, 0);
        d[5] = external_define5(lib, "digits5", 0);
        d[6] = external_define6(lib, "digits6", 0);
        d[7] = external_define7(lib, "digits7", 0);
        d[8] = external_define8(lib, "digits8", 0);
        s = string(d[0]) + string(d[8]) + ":";
        s += string(external_call0(d[0])) + "," + string(external_call1(d[1], 1)) + ",";
        s += string(external_call2(d[2], 1, 2)) + "," + string(external_call3(d[3], 1, 2, 3)) + ",";
        s += string(external_call4(d[4], 1, 2, 3, 4)) + ",";
        s += string(external_call5(d[5], 1, 2, 3, 4, 5)) + ",";
        s += string(external_call6(d[6], 1, 2, 3, 4, 5, 6)) + ",";
        s += string(external_call7(d[7], 1, 2, 3, 4, 5, 6, 7)) + ",";
        s += string(external_call8(d[8], 1, 2, 3, 4, 5, 6, 7, 8)) + ":";
        len = external_define1("extlib.dll", "text_length", ty_string, ty_real);
        join = external_define3(lib, "join", ty_string, ty_real, ty_string, ty_string);
        up = external_define1(lib, "upper", ty_string, ty_string);
        four = external_define4(lib, "four", 1, 1, 1, 1, 1);
        nothing = external_define0(lib, "nothing", 1);
        s += string(external_call1(len, "abc" + chr(233))) + ",";
        s += external_call3(join, "a", 2.5, "c") + ",";
        s += external_call1(up, "ab" + chr(233)) + ",";
        s += external_call4(four, "w", "x", "y", "z") + ",";
        s += "[" + external_call0(nothing) + "]:";
        // Calls with too few or too many values, with values of the other kind, and of a
        // function that was never defined.
        s += string(external_call3(d[2], 1, 2, 3)) + "," + string(external_call0(d[2])) + ",";
        s += external_call1(join, "x") + "," + external_call1(up, 7) + ",";
        s += string(external_call0(99)) + string(external_call0(-1));
    )" + write_local_s));
    ASSERT_EQ(run(1), 0) << err;
    EXPECT_EQ(read("out.txt"), "08:42,1,12,123,1234,12345,123456,1234567,12345678:"
                               "4,a|2.5|c,AB\xe9,w;x;y;z;,[]:12,0,x|0|,,00");
    EXPECT_FALSE(fs::exists(dir / "game_errors.log")) << read("game_errors.log");
}

TEST_F(GameTest, ExternalLibrariesAreLoadedOncePerNameWhateverTheCase) {
    fs::copy_file(KELVANE_TEST_LIBRARY, dir / "extlib.so");
    std::string mz("MZ\x90\0\3\0\0\0", 8);
    write("winonly.dll", mz);
    write("kelvane-project.json", logging_game(R"(
        a = external_define1("ExtLib.dll", "digits1", 0, 0);
        // The library file goes; a name that differs only in case still finds the library
        // loaded for the first definition.
        file_delete("extlib.so");
        b = external_define1("EXTLIB.DLL", "upper", 1, 1);
        c = external_define0("extlib.so", "digits0", 0);
        e = external_define0("nosuch.dll", "f", 0);
        f = external_define0("extlib.dll", "no_such_function", 0);
        g = external_define0("WinOnly.dll", "fir" + chr(10) + "st", 0);
        h = external_define1("winonly.DLL", "second", 0, 0);
        s = string(a) + " " + string(b) + " " + string(c) + " " + string(e) + " " + string(f);
        s += " " + string(g) + " " + string(h) + " " + external_call1(b, "ok");
    )" + write_local_s));
    ASSERT_EQ(run(1), 0) << err;
    EXPECT_EQ(read("out.txt"), "0 1 -1 -1 -1 -1 -1 OK");
    std::string log = read("game_errors.log");
    EXPECT_EQ(count_of(log, "Error defining an external function."), 5u) << log;
    // The Windows-only library is named once, with the first function asked of it.
    EXPECT_EQ(count_of(err, "winonly"), 0u) << err;
    EXPECT_EQ(count_of(err, "WinOnly.dll"), 1u) << err;
    EXPECT_NE(err.find("is a Windows library"), std::string::npos) << err;
    // Control characters of the function's name do not break the line.
    EXPECT_NE(err.find("the function fir?st needs"), std::string::npos) << err;
}

TEST_F(GameTest, SecureModeRefusesExternalLibraries) {
    fs::copy_file(KELVANE_TEST_LIBRARY, dir / "extlib.so");
    write("data/kelvane/registry.txt",
          "[Software\\Kelvane 4\\Preferences]\n\"Warning\" = dword:1\n");
    write("kelvane-project.json", logging_game(R"(
        a = external_define0("extlib.dll", "digits0", 0);
        s = string(a) + string(external_call0(0));
    )" + write_local_s));
    ASSERT_EQ(run(1), 0) << err;
    EXPECT_EQ(read("out.txt"), "00");
    EXPECT_EQ(count_of(read("game_errors.log"), "In secure mode you cannot use DLLs"), 2u);
}

// Definitions with types out of range, empty names, a broken library and a function of
// another library that this one needs, calls with ids that round or lie far outside the
// table, and a function defined with a string result that returns a number: each gives its
// default or its rounded meaning, and the game goes on.
TEST_F(GameTest, WrongDefinitionsAndCallsNeverCrashTheRunner) {
    fs::copy_file(KELVANE_TEST_LIBRARY, dir / "extlib.so");
    write("broken.so", "not a library");
    write("kelvane-project.json", logging_game(R"(
        lib = "extlib.dll";
        a = external_define0(lib, "not_text", ty_string);
        b = external_define1(lib, "text_length", 0.6, 0);
        c = external_define1(lib, "digits1", 1.5, 2.5);
        d = external_define1(lib, "digits1", -1, 100000000000);
        e = external_define0(lib, "", 0);
        f = external_define0("", "digits0", 0);
        g = external_define0("broken.dll", "digits0", 0);
        h = external_define0("BROKEN.dll", "digits1", 0);
        i = external_define1(lib, "strlen", 1, 0); // in the C library, not in this one
        up = external_define1(lib, "upper", 1, 1);
        five = external_define5(lib, "digits5", 0);
        s = "[" + external_call0(a) + "]," + string(external_call1(b, "abcd")) + ",";
        s += string(external_call1(c, 7)) + "," + string(external_call1(d, 8)) + ",";
        s += string(e) + string(f) + string(g) + string(h) + string(i) + "," + string(up) + ",";
        // Each text result is copied before the next call reuses the library's buffer.
        s += external_call1(up, "ab") + external_call1(up, "cd") + ",";
        s += string(external_call1(1.5, 9)) + string(external_call1(2.5, 9)) + ",";
        s += string(external_call1(10000000000, 1)) + string(external_call1(-0.4, 5)) + ",";
        // Five reals: a string given for one of them counts as 0.
        s += string(external_call5(five, "9", 1, 2, 3, 4));
    )" + write_local_s));
    ASSERT_EQ(run(1), 0) << err;
    EXPECT_EQ(read("out.txt"), "[],4,7,8,-1-1-1-1-1,4,ABCD,99,0,1234");
    EXPECT_EQ(count_of(read("game_errors.log"), "Error defining an external function."), 5u);
    // The library that does not load is named once, with the loader's reason.
    EXPECT_EQ(count_of(err, "cannot be loaded"), 1u) << err;
    EXPECT_NE(err.find("broken.dll"), std::string::npos) << err;
}

TEST_F(GameTest, ALibraryStaysLoadedWhenAFunctionIsMissing) {
    fs::copy_file(KELVANE_TEST_LIBRARY, dir / "extlib.so");
    write("kelvane-project.json", logging_game(R"(
        a = external_define0("ExtLib.dll", "no_such_function", 0);
        file_delete("extlib.so");
        b = external_define0("EXTLIB.DLL", "digits0", 0);
        s = string(a) + " " + string(b) + " " + string(external_call0(b));
    )" + write_local_s));
    ASSERT_EQ(run(1), 0) << err;
    EXPECT_EQ(read("out.txt"), "-1 0 42");
}

namespace {
// The text of the fenced block that follows `after` in `doc`.
std::string block_after(const std::string& doc, const std::string& after) {
    size_t at = doc.find(after);
    if (at == std::string::npos) return "";
    size_t open = doc.find("```", at);
    size_t start = doc.find('\n', open);
    size_t close = doc.find("\n```", start);
    if (open == std::string::npos || start == std::string::npos || close == std::string::npos)
        return "";
    return doc.substr(start + 1, close - start);
}
} // namespace

// The example of the user documentation, built with its own command and called from a game
// with its own code.
TEST_F(GameTest, TheDocumentedLibraryExampleBuildsAndRuns) {
    std::ifstream in(fs::path(KELVANE_SOURCE_DIR) / "docs/external-libraries.md");
    std::string doc{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::string source = block_after(doc, "`helper.c`:");
    std::string build = block_after(doc, "Build it beside the game:");
    std::string game = block_after(doc, "and call it from the game:");
    ASSERT_NE(source.find("greet"), std::string::npos) << doc;
    ASSERT_EQ(build.rfind("cc ", 0), 0u) << build;
    ASSERT_NE(game.find("external_define"), std::string::npos) << game;
    write("helper.c", source);
    std::string cmd = "cd '" + dir.string() + "' && " + build;
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    write("kelvane-project.json", logging_game(game));
    ASSERT_EQ(run(1), 0) << err;
    // Headless, each message goes to stderr.
    EXPECT_EQ(err, "6\nHello, Ann!\n");
    EXPECT_FALSE(fs::exists(dir / "game_errors.log")) << read("game_errors.log");
}
