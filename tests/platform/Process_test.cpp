// Command lines and starting programs.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/Process.h"

using namespace kelvane;

TEST(CommandLine, SplitsLikeWindows) {
    using V = std::vector<std::string>;
    EXPECT_EQ(split_command_line("prog a  b"), (V{"prog", "a", "b"}));
    EXPECT_EQ(split_command_line("\"my prog\" \"x y\" z"), (V{"my prog", "x y", "z"}));
    EXPECT_EQ(split_command_line("p a\\\"b c\\\\d"), (V{"p", "a\"b", "c\\\\d"}));
    EXPECT_EQ(split_command_line("  "), V{});
}

TEST(Programs, StartAndWait) {
    auto out =
        std::filesystem::temp_directory_path() / ("kelvane-proc-" + std::to_string(::getpid()));
    auto pid = start_program({"sh", "-c", "sleep 0.1; echo done > '" + out.string() + "'"});
    ASSERT_TRUE(pid);
    int polls = 0;
    wait_program(*pid, [&] { ++polls; });
    std::ifstream in(out);
    std::string text;
    in >> text;
    EXPECT_EQ(text, "done");
    EXPECT_GT(polls, 0);
    std::filesystem::remove(out);
    EXPECT_FALSE(start_program({"/no/such/program"}));
    EXPECT_FALSE(start_program({}));
}
