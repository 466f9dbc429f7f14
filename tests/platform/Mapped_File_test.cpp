// Mapped files: their bytes, their refusals, and pages given back and read again.
#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

#include "platform/Mapped_File.h"

using namespace kelvane;

TEST(MappedFile, GivesTheFilesBytesAndReadsGivenBackPagesAgain) {
    std::string path = ::testing::TempDir() + "mapped-" + std::to_string(::getpid());
    std::vector<uint8_t> bytes(300000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i % 251);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    std::string why;
    auto file = MappedFile::open(path, &why, 1 << 20);
    ASSERT_TRUE(file) << why;
    ASSERT_EQ(file->size(), bytes.size());
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), file->data()));
    file->release_before(200000);
    file->release_before(100000); // behind what is given back already: nothing to do
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), file->data()));
    EXPECT_FALSE(MappedFile::open(path, &why, 1000));
    EXPECT_EQ(why, "is larger than 1000 bytes");
    std::remove(path.c_str());
}

TEST(MappedFile, RefusesWhatIsNoRegularFile) {
    struct Case {
        std::string path, why;
    };
    const Case cases[] = {
        {::testing::TempDir() + "no-such-mapped-file", "No such file or directory"},
        {::testing::TempDir(), "is a folder"},
        {"/dev/null", "is not a regular file"},
    };
    for (const Case& c : cases) {
        std::string why;
        EXPECT_FALSE(MappedFile::open(c.path, &why, 1 << 20)) << c.path;
        EXPECT_EQ(why, c.why) << c.path;
    }
    std::string empty = ::testing::TempDir() + "mapped-empty-" + std::to_string(::getpid());
    std::ofstream(empty).close();
    std::string why;
    auto file = MappedFile::open(empty, &why, 1 << 20);
    ASSERT_TRUE(file) << why;
    EXPECT_EQ(file->size(), 0u);
    std::remove(empty.c_str());
}
