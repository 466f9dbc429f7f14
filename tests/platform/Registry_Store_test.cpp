// The registry store: values survive restarts, keys ignore case, writes are atomic and
// concurrent writers lose nothing.
#include <gtest/gtest.h>

#include <cmath>
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

// A game chooses key and value names; none of them may add a line of its own to the
// store, least of all the key that holds the secure-mode preference.
TEST_F(Store, NamesCannotPlantLinesOrKeys) {
    const std::string planted = "\\Software\\Kelvane 4\\Preferences";
    RegistryStore s(file);
    EXPECT_FALSE(s.create_key("\\Software\\Kelvane 4\\5]\n[" + planted));
    EXPECT_FALSE(s.write("\\Games\n[" + planted + "]", "Warning", {RegistryValue::dword, "", 1}));
    const std::string name = "a\"\r\n[" + planted + "]\n\"Warning\" = dword:1\n[x";
    EXPECT_TRUE(s.write("\\Software\\Kelvane 4\\5", name, text("]\n[" + planted + "]")));
    RegistryStore again(file);
    EXPECT_FALSE(read_secure_mode(again));
    EXPECT_FALSE(again.key_exists(planted));
    ASSERT_TRUE(again.read("\\Software\\Kelvane 4\\5", name));
    EXPECT_EQ(again.read("\\Software\\Kelvane 4\\5", name)->text, "]\n[" + planted + "]");
}

TEST_F(Store, OnlyWholeLinesAreRead) {
    fs::create_directories(dir / "kelvane");
    std::ofstream(file) << "[Good]\n"
                           "\"a\" = real:1 and more\n"
                           "\"b\" = string:\"x\" and more\n"
                           "[Bad[Key]\n"
                           "\"c\" = real:3\n";
    RegistryStore s(file);
    EXPECT_FALSE(s.read("Good", "a"));
    EXPECT_FALSE(s.read("Good", "b"));
    EXPECT_FALSE(s.key_exists("Bad[Key"));
    ASSERT_TRUE(s.read("Good", "c")); // the malformed key line is text, not a key
    EXPECT_EQ(s.read("Good", "c")->number, 3);
}

// Values written by hand that a game could not have written stay in the file as they
// are, whatever other values games write; dwords are read by the documented rule.
TEST_F(Store, ValuesOutOfRangeStayAsWritten) {
    const std::vector<std::string> lines = {
        "[K]",
        "\"big\" = dword:4294967296",
        "\"huge\" = real:1e300",
        "\"nan\" = dword:nan",
        "\"neg\" = dword:-1",
        "\"low\" = dword:-5000000000",
        "\"frac\" = dword:2.7",
        "\"inf\" = real:-inf",
        "[Software\\Kelvane 4\\Preferences]",
        "\"Warning\" = dword:4294967296",
    };
    fs::create_directories(dir / "kelvane");
    {
        std::ofstream out(file);
        for (const auto& l : lines) out << l << "\n";
    }
    RegistryStore s(file);
    EXPECT_TRUE(s.write("\\Other", "x", real(1)));
    std::ifstream in(file);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const auto& l : lines) EXPECT_NE(all.find(l + "\n"), std::string::npos) << l;
    struct Case {
        const char* name;
        std::optional<double> value;
    } cases[] = {
        {"big", 4294967295.0}, {"huge", 1e300}, {"nan", std::nullopt}, {"neg", 4294967295.0},
        {"low", 2147483648.0}, {"frac", 2.0},   {"inf", -INFINITY},
    };
    for (const Case& c : cases) {
        auto v = s.read("K", c.name);
        EXPECT_EQ(v ? std::optional<double>(v->number) : std::nullopt, c.value) << c.name;
    }
    EXPECT_TRUE(read_secure_mode(s));
}

namespace {
// The id of a process that has ended.
pid_t ended_process() {
    pid_t pid = ::fork();
    if (pid == 0) ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}
std::string contents_of(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
} // namespace

// Someone who can write beside the store plants links at the names a writer would use;
// the writer never writes through them, and what killed writers left is cleaned up.
TEST_F(Store, WritesNeverFollowPlantedLinksAndCleanUpAfterKilledWriters) {
    fs::create_directories(dir / "kelvane");
    std::ofstream(dir / "victim") << "precious";
    const std::string me = std::to_string(::getpid());
    fs::create_symlink(dir / "victim", file + ".tmp" + me);
    fs::create_symlink(dir / "victim", file + ".lock");
    const std::string dead = std::to_string(ended_process());
    const std::vector<std::string> stale = {file + ".tmp" + dead,
                                            file + ".tmp" + dead + "-0badf00d"};
    const std::vector<std::string> kept = {file + ".tmp" + me + "-12345678", file + ".tmpx",
                                           file + ".tmp" + dead + "-notours"};
    for (const auto& f : stale) std::ofstream(f) << "half";
    for (const auto& f : kept) std::ofstream(f) << "other";
    RegistryStore s(file);
    EXPECT_TRUE(s.write("\\K", "v", real(1)));
    EXPECT_EQ(contents_of(dir / "victim"), "precious");
    EXPECT_EQ(RegistryStore(file).read("\\K", "v")->number, 1);
    for (const auto& f : stale) EXPECT_FALSE(fs::exists(f)) << f;
    for (const auto& f : kept) EXPECT_TRUE(fs::exists(f)) << f;
}
