// A child process fed through its standard input: every byte arrives, its
// exit status comes back, and a child that stops reading or never starts is
// reported instead of ending this process; standard output set aside to
// standard error for a while.
#include "platform/Process.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using ORV::Platform::ChildProcess;
using ORV::Test::readFile;
using ORV::Test::TempDir;

TEST(ChildProcess, EveryByteWrittenReachesTheChildAndItsStatusComesBack)
{
    TempDir folder;
    const std::string copy = (folder.path() / "copy").string();
    // Several pipe-fulls, so that writes block and resume.
    std::vector<unsigned char> bytes(3 * 1024 * 1024 + 17);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 7 + (i >> 12));
    {
        ChildProcess cat({"sh", "-c", "cat > '" + copy + "'"});
        ASSERT_TRUE(cat.running()) << cat.error();
        ASSERT_TRUE(cat.write(bytes.data(), bytes.size() / 2));
        ASSERT_TRUE(cat.write(bytes.data() + bytes.size() / 2, bytes.size() - bytes.size() / 2));
        EXPECT_EQ(cat.finish(), 0);
        EXPECT_EQ(cat.finish(), 0); // once finished, the same answer
    }
    EXPECT_EQ(readFile(copy), std::string(bytes.begin(), bytes.end()));

    ChildProcess failing({"sh", "-c", "cat > /dev/null; exit 3"});
    ASSERT_TRUE(failing.running());
    EXPECT_EQ(failing.finish(), 3);
}

TEST(ChildProcess, AChildThatStopsReadingOrNeverStartsIsReported)
{
    ChildProcess quits({"sh", "-c", "exit 5"});
    ASSERT_TRUE(quits.running());
    // Far more than a pipe holds: the writes meet a closed pipe, which must
    // come back as false rather than a SIGPIPE that ends the test.
    const std::vector<char> block(4 * 1024 * 1024, 'x');
    bool accepted = true;
    for (int i = 0; i < 4 && accepted; ++i) accepted = quits.write(block.data(), block.size());
    EXPECT_FALSE(accepted);
    EXPECT_EQ(quits.finish(), 5);

    ChildProcess missing({"orv-no-such-program-here"});
    EXPECT_FALSE(missing.running());
    EXPECT_NE(missing.error().find("orv-no-such-program-here"), std::string::npos) << missing.error();
    EXPECT_FALSE(missing.write("x", 1));
    EXPECT_EQ(missing.finish(), -1);
}

TEST(StandardOutputToError, WhatIsWrittenMeanwhileGoesToStandardErrorAndOutputComesBack)
{
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    std::printf("before\n");
    {
        const ORV::Platform::StandardOutputToError aside;
        std::printf("log line\n");
        std::fflush(stdout);
        std::fprintf(stderr, "progress\n");
        std::printf("unflushed\n"); // C's buffer is flushed while still aside
    }
    std::printf("table\n");
    const std::string output = testing::internal::GetCapturedStdout();
    const std::string error = testing::internal::GetCapturedStderr();
    EXPECT_EQ(output, "before\ntable\n");
    EXPECT_EQ(error, "log line\nprogress\nunflushed\n");
}
