// Runs the language tests written as data: every tests/script/*.txt file holds cases, each
// some lines of code followed by the lines that say what `kelvane exec` must produce:
//   // options: ARGS       exec options for this case (before the code or the expectations)
//   // expect: TEXT        the printed result (exactly one per case without errors)
//   // expect error: TEXT  a line that stderr must hold; several must appear in this order,
//                          the exit status must be 1 and nothing is printed on stdout (an
//                          expect line beside them is not checked). Without any, stderr
//                          must be empty.
// Comment lines before a case's first line of code describe it. The code is the case's
// lines from there, joined with line feeds, without a final one.
#include <gtest/gtest.h>

#include <unistd.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Case {
    std::string file;
    int line = 0;
    std::string code;
    std::string options;
    std::string expect;
    bool has_expect = false;
    std::vector<std::string> errors;
};

bool starts_with(const std::string& s, const std::string& p) {
    return s.rfind(p, 0) == 0;
}

std::vector<Case> read_cases(const fs::path& path) {
    std::ifstream in(path);
    std::vector<Case> cases;
    Case c;
    std::vector<std::string> code;
    bool in_expect = false;
    std::string line;
    int n = 0;
    auto finish = [&] {
        std::string joined;
        for (size_t i = 0; i < code.size(); ++i) joined += (i ? "\n" : "") + code[i];
        c.code = joined;
        c.file = path.filename().string();
        cases.push_back(c);
        c = Case();
        code.clear();
        in_expect = false;
    };
    while (std::getline(in, line)) {
        ++n;
        if (starts_with(line, "// expect: ")) {
            c.expect = line.substr(11);
            c.has_expect = true;
            in_expect = true;
        } else if (starts_with(line, "// expect error: ")) {
            c.errors.push_back(line.substr(17));
            in_expect = true;
        } else if (starts_with(line, "// options: ") && !in_expect) {
            c.options = line.substr(12);
        } else {
            if (in_expect) finish();
            // Blank lines between cases and comment lines before a case's first line of
            // code describe the case; they are not part of its code.
            if (code.empty() && (line.empty() || starts_with(line, "//"))) continue;
            if (code.empty()) c.line = n;
            code.push_back(line);
        }
    }
    if (in_expect) finish();
    return cases;
}

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> lines_of(const std::string& s) {
    std::vector<std::string> out;
    std::istringstream in(s);
    std::string l;
    while (std::getline(in, l)) out.push_back(l);
    return out;
}

std::vector<std::string> case_files() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(fs::path(KELVANE_SOURCE_DIR) / "tests" / "script"))
        if (e.path().extension() == ".txt") names.push_back(e.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

class ScriptFile : public testing::TestWithParam<std::string> {};

TEST_P(ScriptFile, CasesPass) {
    fs::path file = fs::path(KELVANE_SOURCE_DIR) / "tests" / "script" / (GetParam() + ".txt");
    // One folder per process: two test runs on one machine must not share files.
    fs::path tmp = fs::path(testing::TempDir()) /
                   ("kelvane_script_" + GetParam() + "_" + std::to_string(::getpid()));
    fs::create_directories(tmp);
    auto cases = read_cases(file);
    ASSERT_FALSE(cases.empty());
    for (const Case& c : cases) {
        std::string where = c.file + ":" + std::to_string(c.line);
        SCOPED_TRACE(where + "\n" + c.code);
        ASSERT_TRUE(c.has_expect || !c.errors.empty()) << "case without // expect:";
        fs::path code = tmp / "case.txt", out = tmp / "out.txt", err = tmp / "err.txt";
        {
            std::ofstream o(code, std::ios::binary);
            o << c.code;
        }
        std::string cmd = std::string("'") + KELVANE_BINARY + "' exec --seed 1 " + c.options +
                          " '" + code.string() + "' >'" + out.string() + "' 2>'" + err.string() +
                          "'";
        int status = std::system(cmd.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        int rc = WEXITSTATUS(status);
        std::string stdout_text = slurp(out), stderr_text = slurp(err);
        EXPECT_EQ(stdout_text, c.errors.empty() ? c.expect + "\n" : "");
        if (c.errors.empty()) {
            EXPECT_EQ(rc, 0);
            EXPECT_EQ(stderr_text, "");
            continue;
        }
        EXPECT_EQ(rc, 1);
        auto got = lines_of(stderr_text);
        size_t at = 0;
        for (const auto& want : c.errors) {
            while (at < got.size() && got[at] != want) ++at;
            EXPECT_LT(at, got.size()) << "missing stderr line: " << want << "\nstderr:\n"
                                      << stderr_text;
            if (at < got.size()) ++at;
        }
    }
    std::error_code ec;
    fs::remove_all(tmp, ec);
}

INSTANTIATE_TEST_SUITE_P(Language, ScriptFile, testing::ValuesIn(case_files()),
                         [](const testing::TestParamInfo<std::string>& i) { return i.param; });

} // namespace
