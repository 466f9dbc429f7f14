// The file family's engine: text file formats, messages, secure mode, registry values.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "functions/Function_File.h"

using namespace kelvane;
namespace fs = std::filesystem;

namespace {

class Files : public ::testing::Test {
  protected:
    fs::path dir, old_cwd;
    FileNames names;
    std::unique_ptr<RegistryStore> registry;
    std::vector<std::string> reports;
    std::unique_ptr<GameFiles> files;

    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("kelvane-gamefiles-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "Sub");
        old_cwd = fs::current_path();
        fs::current_path(dir);
        registry = std::make_unique<RegistryStore>((dir / "registry.txt").string());
        files = std::make_unique<GameFiles>(names, *registry,
                                            [this](const std::string& m) { reports.push_back(m); });
        files->game_id = 42;
    }
    void TearDown() override {
        files.reset();
        fs::current_path(old_cwd);
        fs::remove_all(dir);
    }
    std::string contents(const std::string& name) {
        std::ifstream in(dir / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::string last_report() { return reports.empty() ? "" : reports.back(); }
};

} // namespace

TEST(FileFormat, RealsAreWrittenInExponentNotation) {
    struct Case {
        double x;
        const char* text;
    } cases[] = {
        {1.5, " 1.50000000000000E+0000"},
        {0, " 0.00000000000000E+0000"},
        {-2.5, "-2.50000000000000E+0000"},
        {1e-5, " 1.00000000000000E-0005"},
        {123456789012345678.0, " 1.23456789012346E+0017"},
        {1e300, " 1.00000000000000E+0300"},
    };
    for (const auto& c : cases) EXPECT_EQ(GameFiles::format_real(c.x), c.text) << c.x;
    EXPECT_EQ(GameFiles::format_real(INFINITY).size(), 23u);
}

TEST_F(Files, WrittenTextReadsBack) {
    files->open_write("Sub\\data.txt"); // any case, backslashes
    files->write_string("hello");
    files->writeln();
    files->write_real(-3);
    files->write_real(1.5); // a positive number starts with a blank, which separates them
    files->writeln();
    files->write_string("last line");
    files->close();
    EXPECT_EQ(contents("Sub/data.txt"),
              "hello\r\n-3.00000000000000E+0000 1.50000000000000E+0000\r\nlast line");

    files->open_read("SUB/DATA.TXT");
    EXPECT_EQ(files->read_string(), "hello");
    EXPECT_EQ(files->read_string(), ""); // stays before the line break
    files->readln();
    EXPECT_EQ(files->read_real(), -3);
    EXPECT_EQ(files->read_real(), 1.5);
    EXPECT_FALSE(files->eof());
    EXPECT_EQ(files->read_string(), ""); // the rest of the numbers' line
    files->readln();
    EXPECT_EQ(files->read_string(), "last line");
    EXPECT_TRUE(files->eof());
    EXPECT_EQ(files->read_real(), 0); // nothing left
    EXPECT_TRUE(reports.empty()) << last_report();
}

TEST_F(Files, NumbersAcrossLinesAndBadNumbers) {
    std::ofstream(dir / "n.txt") << "  12\n\n\t-0.5e2 .25 7. 12abc\nrest\x1a hidden";
    files->open_read("n.txt");
    EXPECT_EQ(files->read_real(), 12);
    EXPECT_EQ(files->read_real(), -50);
    EXPECT_EQ(files->read_real(), 0.25);
    EXPECT_EQ(files->read_real(), 7);
    EXPECT_EQ(files->read_real(), 0);
    EXPECT_EQ(last_report(), "Error reading read.");
    files->readln();
    EXPECT_EQ(files->read_string(), "rest"); // Ctrl-Z ends the text
    EXPECT_TRUE(files->eof());
}

TEST_F(Files, MessagesWhenNothingIsOpen) {
    files->open_write("w.txt");
    files->open_read("missing.txt"); // closes the written file; nothing is open now
    files->write_string("x");
    EXPECT_EQ(last_report(), "File not opened for writing.");
    files->read_string();
    EXPECT_EQ(last_report(), "File not opened for reading.");
    files->read_real();
    EXPECT_EQ(last_report(), "File not opened for reading.");
    files->readln();
    EXPECT_EQ(last_report(), "File not opened for reading.");
    EXPECT_FALSE(files->eof());
    EXPECT_EQ(last_report(), "File is not opened for reading.");
    EXPECT_EQ(reports.size(), 5u);
}

TEST_F(Files, AFileThatCannotBeCreatedIsReportedAndStaysClosed) {
    files->open_write("no\\such\\folder\\x.txt");
    EXPECT_EQ(last_report(), "Cannot write file no\\such\\folder\\x.txt.");
    files->write_string("x");
    EXPECT_EQ(last_report(), "File not opened for writing.");
    files->open_append("no/such/y.txt");
    EXPECT_EQ(last_report(), "Cannot append to file no/such/y.txt.");
}

TEST_F(Files, AppendingAddsAtTheEnd) {
    std::ofstream(dir / "log.txt") << "a";
    files->open_append("LOG.TXT");
    files->write_string("b");
    files->close();
    EXPECT_EQ(contents("log.txt"), "ab");
}

TEST_F(Files, SecureModeRefusesWhatCouldReachOutside) {
    files->secure_mode = true;
    std::ofstream(dir / "Sub" / "in.txt") << "ok";
    struct Case {
        std::function<void()> call;
        std::string message;
    } cases[] = {
        {[&] { files->open_write("C:\\temp\\x.txt"); },
         "In secure mode you cannot write file C:\\temp\\x.txt"},
        {[&] { files->open_write("Sub/x.txt"); }, "In secure mode you cannot write file Sub/x.txt"},
        {[&] { files->open_append("Sub\\x.txt"); },
         "In secure mode you cannot append to file Sub\\x.txt"},
        {[&] { files->file_delete("Sub\\in.txt"); },
         "In Secure mode you cannot delete file Sub\\in.txt"},
        {[&] { files->file_rename("a.txt", "Sub\\b.txt"); },
         "In Secure mode you cannot rename file a.txt into Sub\\b.txt"},
        {[&] { files->file_copy("Sub\\in.txt", "b.txt"); },
         "In Secure mode you cannot copy file Sub\\in.txt to b.txt"},
        {[&] { files->directory_create("New\\Dir"); },
         "In Secure mode you cannot create directory New\\Dir"},
        {[&] { files->execute_program("sh", "-c true", false); },
         "In Secure mode you cannot execute program sh"},
        {[&] { files->execute_shell("readme.txt", ""); },
         "In Secure mode you cannot execute program readme.txt"},
    };
    for (const auto& c : cases) {
        reports.clear();
        c.call();
        EXPECT_EQ(last_report(), c.message);
    }
    EXPECT_TRUE(fs::exists(dir / "Sub" / "in.txt"));
    reports.clear();
    files->open_write("plain.txt"); // the game's own folder is fine
    files->write_string("x");
    files->open_read("Sub\\in.txt"); // reading is always allowed
    EXPECT_EQ(files->read_string(), "ok");
    EXPECT_TRUE(reports.empty()) << last_report();
}

// Drive-relative names, "..", letter case and links can all lead out of the game's folder
// without a slash in the name; secure mode looks at where a name really leads.
TEST_F(Files, SecureModeDecidesOnTheResolvedPath) {
    fs::path outside = dir.string() + "-outside";
    fs::remove_all(outside);
    fs::create_directories(outside);
    std::ofstream(outside / "victim.txt") << "keep";
    std::ofstream(dir / "a.txt") << "A";
    fs::create_symlink(outside, dir / "LinkDir");
    fs::create_symlink(outside / "victim.txt", dir / "link.txt");
    fs::create_symlink(outside / "planted.txt", dir / "dangling.txt");
    names.map_drive('C', outside.string());
    names.map_drive('D', outside.string());
    names.map_drive('E', dir.string()); // a drive that is the game's own folder
    files->secure_mode = true;
    struct Case {
        std::function<void()> call;
        std::string message;
    } cases[] = {
        {[&] { files->open_write("C:x.txt"); }, "In secure mode you cannot write file C:x.txt"},
        {[&] { files->open_write("d:x.txt"); }, "In secure mode you cannot write file d:x.txt"},
        {[&] { files->open_write("link.txt"); }, "In secure mode you cannot write file link.txt"},
        {[&] { files->open_write("DANGLING.TXT"); },
         "In secure mode you cannot write file DANGLING.TXT"},
        {[&] { files->open_append("D:victim.txt"); },
         "In secure mode you cannot append to file D:victim.txt"},
        {[&] { files->file_delete("D:victim.txt"); },
         "In Secure mode you cannot delete file D:victim.txt"},
        {[&] { files->file_rename("a.txt", "C:b.txt"); },
         "In Secure mode you cannot rename file a.txt into C:b.txt"},
        {[&] { files->file_copy("a.txt", "D:victim.txt"); },
         "In Secure mode you cannot copy file a.txt to D:victim.txt"},
        {[&] { files->directory_create("C:newdir"); },
         "In Secure mode you cannot create directory C:newdir"},
        {[&] { files->directory_create(".."); }, "In Secure mode you cannot create directory .."},
        {[&] { files->open_write("linkdir"); }, "In secure mode you cannot write file linkdir"},
    };
    for (const auto& c : cases) {
        reports.clear();
        c.call();
        EXPECT_EQ(last_report(), c.message);
    }
    files->close();
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(outside)) left.push_back(e.path().filename());
    EXPECT_EQ(left, std::vector<std::string>{"victim.txt"});
    std::ifstream victim(outside / "victim.txt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(victim), {}), "keep");
    EXPECT_TRUE(fs::exists(dir / "a.txt"));

    reports.clear();
    files->open_write("E:mine.txt"); // resolves into the game's folder
    files->write_string("x");
    files->close();
    EXPECT_TRUE(reports.empty()) << last_report();
    EXPECT_EQ(contents("mine.txt"), "x");
    fs::remove_all(outside);
}

TEST_F(Files, FileManagement) {
    std::ofstream(dir / "a.txt") << "A";
    EXPECT_TRUE(files->file_exists("A.TXT"));
    EXPECT_FALSE(files->file_exists("Sub")); // a folder is not a file
    EXPECT_TRUE(files->directory_exists("sub"));
    files->file_copy("a.txt", "Sub\\b.txt");
    EXPECT_EQ(contents("Sub/b.txt"), "A");
    files->file_rename("sub\\B.txt", "c.txt");
    EXPECT_TRUE(files->file_exists("c.txt"));
    files->file_delete("C.TXT");
    EXPECT_FALSE(files->file_exists("c.txt"));
    files->directory_create("x\\y\\z");
    EXPECT_TRUE(fs::is_directory(dir / "x/y/z"));
    EXPECT_EQ(files->file_attributes("missing", 63), -1);
    EXPECT_EQ(files->file_attributes("sub", fa_directory), 1);
    EXPECT_EQ(files->file_attributes("a.txt", fa_directory), 0);
    EXPECT_EQ(files->find_first("*.TXT", 0), "a.txt");
    EXPECT_EQ(files->find_next(), "");
    EXPECT_TRUE(reports.empty());
}

TEST_F(Files, RegistryValuesUnderTheGameKey) {
    EXPECT_FALSE(registry->key_exists("\\Software\\Kelvane 4\\42"));
    EXPECT_FALSE(files->registry_exists(files->game_key(), "best"));
    EXPECT_TRUE(registry->key_exists("\\Software\\Kelvane 4\\42")); // made by the test
    files->registry_write_real("best", 12.5);
    files->registry_write_string("name", "Ann");
    EXPECT_EQ(files->registry_read_real(files->game_key(), "best"), 12.5);
    EXPECT_EQ(files->registry_read_string(files->game_key(), "name"), "Ann");
    EXPECT_EQ(files->registry_read_real(files->game_key(), "name"), 0);    // not a real
    EXPECT_EQ(files->registry_read_string(files->game_key(), "best"), ""); // not a string
    // A fresh store on the same file sees the values: they survive a restart.
    RegistryStore again((dir / "registry.txt").string());
    EXPECT_EQ(again.read("\\software\\kelvane 4\\42", "BEST")->number, 12.5);
}

TEST_F(Files, ProgramsAndParameters) {
    files->execute_program("sh", "-c \"echo ran > out.txt\"", true);
    EXPECT_EQ(contents("out.txt"), "ran\n");
    files->execute_program("no-such-program-here", "", false);
    EXPECT_EQ(last_report(), "Cannot execute no-such-program-here");
    files->game_path = "/games/x.kgame";
    files->parameters = {"-fast", "level2"};
    EXPECT_EQ(files->parameter_count(), 2);
    EXPECT_EQ(files->parameter_string(0), "/games/x.kgame");
    EXPECT_EQ(files->parameter_string(2), "level2");
    EXPECT_EQ(files->parameter_string(3), "");
    EXPECT_EQ(files->parameter_string(-1), "");
}
