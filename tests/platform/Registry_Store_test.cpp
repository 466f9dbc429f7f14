// The registry store: values survive restarts, keys ignore case, writes are atomic and
// concurrent writers lose nothing.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/Registry_Store.h"

using namespace kelvane;
namespace fs = std::filesystem;

namespace {

class Store : public ::testing::Test {
  protected:
    fs::path dir;
    std::string file;
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("kelvane-registry-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        file = (dir / "kelvane" / "registry.txt").string();
    }
    void TearDown() override { fs::remove_all(dir); }
};

RegistryValue text(const std::string& s) {
    return {RegistryValue::string, s, 0};
}
RegistryValue real(double d) {
    return {RegistryValue::real, "", d};
}

} // namespace

TEST_F(Store, ValuesSurviveARestartAndIgnoreCase) {
    const std::string key = "\\Software\\Kelvane 4\\777";
    {
        RegistryStore s(file);
        EXPECT_FALSE(s.key_exists(key));
        EXPECT_TRUE(s.write(key, "Name", text("Zo\xeb \"the\" \\best\\\nline2")));
        EXPECT_TRUE(s.write(key, "Score", real(0.1)));
        EXPECT_TRUE(s.write(key, "score", real(1e300))); // same value, other case
    }
    RegistryStore s(file);
    EXPECT_TRUE(s.key_exists("software\\KELVANE 4\\777\\"));
    auto name = s.read(key, "NAME");
    ASSERT_TRUE(name);
    EXPECT_EQ(name->kind, RegistryValue::string);
    EXPECT_EQ(name->text, "Zo\xeb \"the\" \\best\\\nline2");
    auto score = s.read(key, "Score");
    ASSERT_TRUE(score);
    EXPECT_EQ(score->kind, RegistryValue::real);
    EXPECT_EQ(score->number, 1e300);
    EXPECT_FALSE(s.read(key, "Missing"));
    EXPECT_FALSE(s.read("\\Other", "Score"));
}

TEST_F(Store, CreatingAKeyAndTheSecureModePreference) {
    RegistryStore s(file);
    EXPECT_FALSE(read_secure_mode(s));
    EXPECT_TRUE(s.create_key("\\Software\\Kelvane 4\\1"));
    EXPECT_TRUE(s.key_exists("\\Software\\Kelvane 4\\1"));
    fs::create_directories(dir / "kelvane");
    std::ofstream(file, std::ios::app)
        << "[Software\\Kelvane 4\\Preferences]\n\"Warning\" = dword:1\n";
    EXPECT_TRUE(read_secure_mode(s));
}

TEST_F(Store, LinesItCannotReadAreKeptWhenWriting) {
    fs::create_directories(dir / "kelvane");
    std::ofstream(file) << "# my notes\n[A]\n\"x\" = real:2\nthis line is not ours\n";
    RegistryStore s(file);
    EXPECT_TRUE(s.write("\\A", "y", text("new")));
    std::ifstream in(file);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(all.find("# my notes"), std::string::npos);
    EXPECT_NE(all.find("this line is not ours"), std::string::npos);
    EXPECT_EQ(s.read("A", "x")->number, 2);
    EXPECT_EQ(s.read("A", "y")->text, "new");
}

TEST_F(Store, ConcurrentWritersLoseNothing) {
    std::vector<pid_t> children;
    for (int c = 0; c < 3; ++c) {
        pid_t pid = ::fork();
        if (pid == 0) {
            RegistryStore s(file);
            for (int i = 0; i < 30; ++i)
                s.write("\\K", "v" + std::to_string(c) + "_" + std::to_string(i), real(i));
            ::_exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t p : children) ::waitpid(p, nullptr, 0);
    RegistryStore s(file);
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 30; ++i)
            EXPECT_TRUE(s.read("\\K", "v" + std::to_string(c) + "_" + std::to_string(i)));
}

TEST_F(Store, AKilledWriterNeverLeavesABrokenFile) {
    for (int round = 0; round < 5; ++round) {
        pid_t pid = ::fork();
        if (pid == 0) {
            RegistryStore s(file);
            for (int i = 0;; ++i) s.write("\\K", "n" + std::to_string(i % 200), real(i));
        }
        ::usleep(20000 + round * 7000);
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        // Every line of what is left parses: a header, a value, or the comment we write.
        std::ifstream in(file);
        std::string line;
        while (std::getline(in, line))
            EXPECT_TRUE(line.empty() || line[0] == '#' || line[0] == '[' ||
                        line.find("\" = real:") != std::string::npos)
                << line;
    }
}
