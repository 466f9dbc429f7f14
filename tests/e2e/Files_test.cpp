// Games that use text files, the registry, secure mode and their parameters.
#include "Game_Runner.h"

using namespace kelvane::e2e;

namespace {
std::string one_object(const std::string& create_code) {
    return R"({"objects": [{"name": "o", "events": [)" + event("create", 0, {code(create_code)}) +
           R"(]}], "rooms": [{"name": "r", "instances": [{"object": "o"}]}]})";
}
} // namespace

TEST_F(GameTest, TextFilesWithCaseInsensitiveWindowsNames) {
    write("Data/Scores.TXT", "12.5 7\r\nAnn\r\n");
    write("kelvane-project.json", one_object(R"(
        file_open_read("data\scores.txt");
        a = file_read_real(); b = file_read_real(); file_readln(); n = file_read_string();
        e = file_eof(); file_readln(); e2 = file_eof();
        file_open_write("DATA\out.txt");
        file_write_string(n + ":"); file_write_real(a + b); file_writeln();
        file_write_string(string(e) + string(e2)); file_close();)"));
    ASSERT_EQ(run(1), 0) << err;
    // The line break after "Ann" is still to read: not yet the end of the file.
    EXPECT_EQ(read("Data/out.txt"), "Ann: 1.95000000000000E+0001\r\n01");
}

TEST_F(GameTest, RegistryValuesSurviveARestartOfTheProgram) {
    write("kelvane-project.json", R"({"game_id": 31337, "objects": [{"name": "o", "events": [)" +
                                      event("create", 0, {code(R"(
        if registry_exists("runs") { registry_write_real("runs", registry_read_real("runs") + 1); }
        else { registry_write_real("runs", 1); registry_write_string("who", "Zo" + chr(235)); }
        file_open_write("out.txt");
        file_write_string(string(registry_read_real("runs")) + registry_read_string("who"));
        file_close();)")}) + R"(]}], "rooms": [{"name": "r", "instances": [{"object": "o"}]}]})");
    ASSERT_EQ(run(1), 0) << err;
    EXPECT_EQ(read("out.txt"), "1Zo\xeb");
    ASSERT_EQ(run(1), 0) << err;
    EXPECT_EQ(read("out.txt"), "2Zo\xeb");
    std::string store = read("data/kelvane/registry.txt");
    EXPECT_NE(store.find("[Software\\Kelvane 4\\31337]"), std::string::npos) << store;
    EXPECT_NE(store.find("\"who\" = string:\"Zo\xc3\xab\""), std::string::npos) << store;
}

TEST_F(GameTest, SecureModeRefusesAndParametersArrive) {
    write("data/kelvane/registry.txt",
          "[Software\\Kelvane 4\\Preferences]\n\"Warning\" = dword:1\n");
    write("kelvane-project.json", R"({"options": {"show_errors": false, "log_errors": true},
      "objects": [{"name": "o", "events": [)" +
                                      event("create", 0, {code(R"(
        file_open_write("sub\x.txt");
        screen_save("shots/a.bmp");
        screen_save_part("C:\b.bmp", 0, 0, 4, 4);
        screen_save("c.bmp");
        file_open_write("plain.txt");
        file_write_string(string(secure_mode) + string(parameter_count()) + parameter_string(2));
        file_close();)")}) + R"(]}], "rooms": [{"name": "r", "instances": [{"object": "o"}]}]})");
    ASSERT_EQ(run(1, "-- one two"), 0) << err;
    EXPECT_EQ(read("plain.txt"), "12two");
    std::string log = read("game_errors.log");
    EXPECT_NE(log.find("In secure mode you cannot write file sub\\x.txt"), std::string::npos);
    // Screen pictures too stay in the game's folder.
    EXPECT_NE(log.find("In secure mode you cannot save screen to file shots/a.bmp"),
              std::string::npos);
    EXPECT_NE(log.find("In secure mode you cannot save screen to file C:\\b.bmp"),
              std::string::npos);
    EXPECT_TRUE(fs::exists(dir / "c.bmp"));
}
