// Runs small games written as project sources: the test writes a manifest and code, the
// game runs headless with a fixed seed, and the test reads what the game wrote.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace kelvane::e2e {

namespace fs = std::filesystem;

class GameTest : public ::testing::Test {
  protected:
    fs::path dir;
    std::string err;

    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("kelvane-e2e-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        if (!std::getenv("KEEP")) fs::remove_all(dir);
    }

    void write(const std::string& name, const std::string& text) {
        fs::create_directories((dir / name).parent_path());
        std::ofstream(dir / name, std::ios::binary) << text;
    }
    std::string read(const std::string& name) {
        std::ifstream in(dir / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // Runs the project in `dir` headless; returns the exit status, stderr in `err`.
    int run(int steps, const std::string& extra = "") {
        std::string cmd = "cd '" + dir.string() + "' && XDG_DATA_HOME='" + (dir / "data").string() +
                          "' '" + KELVANE_BINARY + "' run --headless --seed 1 --steps " +
                          std::to_string(steps) + " . " + extra + " 2> stderr.txt > /dev/null";
        int raw = std::system(cmd.c_str());
        err = read("stderr.txt");
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
};

} // namespace kelvane::e2e

namespace kelvane::e2e {

// An action of the manifest: function id, arguments, and optionally the NOT flag.
inline std::string action(int function, std::vector<std::string> args = {}, bool negate = false) {
    if (negate) {
        args.resize(8);
        args[7] = "1";
    }
    std::string out = R"({"function": )" + std::to_string(function) + R"(, "arguments": [)";
    for (size_t i = 0; i < args.size(); ++i) {
        std::string escaped;
        for (char c : args[i]) {
            if (c == '\n') {
                escaped += "\\n";
                continue;
            }
            if (c == '"' || c == '\\') escaped += '\\';
            escaped += c;
        }
        out += (i ? ", \"" : "\"") + escaped + "\"";
    }
    return out + "]}";
}

// A code action as a manifest entry.
inline std::string code(const std::string& text) {
    return action(34, {text});
}

// An event of the manifest with its actions.
inline std::string event(const std::string& type, int number,
                         const std::vector<std::string>& actions) {
    std::string out =
        R"({"type": ")" + type + R"(", "number": )" + std::to_string(number) + R"(, "actions": [)";
    for (size_t i = 0; i < actions.size(); ++i) out += (i ? ", " : "") + actions[i];
    return out + "]}";
}

// The code that writes the game's global.s to out.txt.
inline const char* write_s =
    "file_open_write(\"out.txt\"); file_write_string(global.s); file_close();";

} // namespace kelvane::e2e
