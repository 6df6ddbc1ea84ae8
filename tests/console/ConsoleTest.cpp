#include "console/Console.h"
#include "console/ConsoleWindow.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <iomanip>
#include <random>
#include <string>

using namespace ORV::Core;

namespace {

// What the log adds for a text: CR LF for LF, four spaces for a tab.
std::string referenceConversion(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += "\r\n";
        else if (c == '\t')
            out += "    ";
        else
            out += c;
    }
    return out;
}

// Remembers the log as it was, so a test can look at only what it added; the
// log is process-wide and other tests in the same process write to it too.
class LogMark {
public:
    LogMark() : size_(logText().size()), lines_(logLineCount()), updates_(consoleWindow().textUpdates()) {}
    std::string added() const { return logText().substr(size_); }
    std::uint32_t addedLines() const { return logLineCount() - lines_; }
    std::uint64_t addedUpdates() const { return consoleWindow().textUpdates() - updates_; }

private:
    std::size_t size_;
    std::uint32_t lines_;
    std::uint64_t updates_;
};

// Points standard output and standard error at one file for its lifetime, as a
// terminal run or `2>&1` does.
class SharedOutputs {
public:
    explicit SharedOutputs(const std::string& path)
    {
        std::fflush(stdout);
        std::fflush(stderr);
        savedOut_ = dup(STDOUT_FILENO);
        savedErr_ = dup(STDERR_FILENO);
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, STDOUT_FILENO);
        dup2(fd, STDERR_FILENO);
        close(fd);
    }
    ~SharedOutputs()
    {
        std::fflush(stdout);
        std::fflush(stderr);
        dup2(savedOut_, STDOUT_FILENO);
        dup2(savedErr_, STDERR_FILENO);
        close(savedOut_);
        close(savedErr_);
    }

private:
    int savedOut_ = -1;
    int savedErr_ = -1;
};

struct BufferProbe : ConsoleBuffer {
    using ConsoleBuffer::overflow;
};

} // namespace

TEST(ConsoleConversion, TabAndLineFeedAreConvertedOnlyInTheLog)
{
    LogMark mark;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    consoleStream << "a\tb\n";
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();

    EXPECT_EQ(mark.added(), "a    b\r\n");
    EXPECT_EQ(mark.addedLines(), 1u);
    EXPECT_EQ(out, "a\tb\n");
    // Standard error is a file of its own here, so the debugger copy is written.
    EXPECT_EQ(err, "a\tb\n");
}

TEST(ConsoleConversion, EachLineFeedCountsAndOtherBytesPassUnchanged)
{
    LogMark mark;
    consoleStream << "x\n\n\ry\r\n";
    consoleStream << std::string("z\0\xff\x09", 4);
    EXPECT_EQ(mark.added(), std::string("x\r\n\r\n\ry\r\r\nz\0\xff    ", 17));
    EXPECT_EQ(mark.addedLines(), 3u);
}

TEST(ConsoleConversion, RandomWritesMatchReference)
{
    std::mt19937 random(1234);
    const char alphabet[] = {'a', 'Z', '0', ' ', '\t', '\n', '\r', '\0', '\x7f', '\x80', '\xff'};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof(alphabet) - 1);
    std::uniform_int_distribution<int> length(0, 12);
    std::uniform_int_distribution<int> how(0, 2);

    testing::internal::CaptureStdout();
    LogMark mark;
    std::string written;
    std::uint32_t lineFeeds = 0;
    for (int round = 0; round < 300; ++round) {
        std::string chunk;
        for (int i = length(random); i > 0; --i) chunk += alphabet[pick(random)];
        written += chunk;
        for (char c : chunk) lineFeeds += c == '\n';
        switch (how(random)) {
        case 0: consoleStream.write(chunk.data(), static_cast<std::streamsize>(chunk.size())); break;
        case 1:
            for (char c : chunk) consoleStream.put(c);
            break;
        default: consoleStream << chunk; break;
        }
    }
    const std::string out = testing::internal::GetCapturedStdout();

    EXPECT_EQ(mark.added(), referenceConversion(written));
    EXPECT_EQ(mark.addedLines(), lineFeeds);
    EXPECT_EQ(out, written);
    EXPECT_TRUE(consoleStream.good());
}

TEST(ConsoleStream, NumberGivesTheSameTextAsOneWrite)
{
    LogMark single;
    consoleStream << "-12345\t6.5\n";
    const std::string asText = single.added();
    EXPECT_EQ(single.addedUpdates(), 1u);

    // Whether the standard library hands the digits over one by one (overflow)
    // or as a run (xsputn), the log ends up the same.
    LogMark formatted;
    consoleStream << -12345 << '\t' << 6.5 << '\n';
    EXPECT_EQ(formatted.added(), asText);
    EXPECT_EQ(formatted.addedLines(), 1u);
    EXPECT_TRUE(consoleStream.good());
}

TEST(ConsoleStream, CharacterAtATimeGivesTheSameTextAsOneWrite)
{
    LogMark single;
    consoleStream << "a\tb\n";
    const std::string asText = single.added();

    LogMark perCharacter;
    for (char c : std::string("a\tb\n")) consoleStream.put(c);
    EXPECT_EQ(perCharacter.added(), asText);
    EXPECT_EQ(perCharacter.addedLines(), 1u);
    EXPECT_EQ(perCharacter.addedUpdates(), 4u);
}

TEST(ConsoleStream, PadsWithSpaces)
{
    EXPECT_EQ(consoleStream.fill(), ' ');
    LogMark mark;
    consoleStream << std::setw(6) << 42 << '|' << std::setw(4) << "ab" << '|';
    EXPECT_EQ(mark.added(), "    42|  ab|");
}

TEST(ConsoleStream, EmptyStringLeavesLogButSetsWindowTextAgain)
{
    LogMark mark;
    consoleStream << "";
    consoleStream << std::string();
    EXPECT_EQ(mark.added(), "");
    EXPECT_EQ(mark.addedLines(), 0u);
    EXPECT_EQ(mark.addedUpdates(), 2u);
    EXPECT_TRUE(consoleStream.good());
}

TEST(ConsoleStream, FlushAndEndOfFileAddNothing)
{
    LogMark mark;
    consoleStream << std::flush;
    BufferProbe probe;
    EXPECT_FALSE(ConsoleBuffer::traits_type::eq_int_type(probe.overflow(ConsoleBuffer::traits_type::eof()),
                                                         ConsoleBuffer::traits_type::eof()));
    EXPECT_EQ(mark.added(), "");
    EXPECT_EQ(mark.addedUpdates(), 0u);
    EXPECT_TRUE(consoleStream.good());
}

TEST(ConsoleStream, AnotherStreamOnAnotherBufferWritesTheSameLog)
{
    LogMark mark;
    ConsoleBuffer buffer;
    ConsoleStream stream(&buffer);
    stream << "one" << 2 << '\n';
    EXPECT_EQ(mark.added(), "one2\r\n");
}

TEST(ConsoleDebugOutput, NotRepeatedWhenStandardErrorIsStandardOutput)
{
    ORV::Test::TempDir dir;
    const std::string path = (dir.path() / "both.txt").string();
    {
        SharedOutputs shared(path);
        consoleStream << "once\n";
    }
    EXPECT_EQ(ORV::Test::readFile(path), "once\n");
}

TEST(ConsoleWindowUpdate, ShowsTheWholeLogScrolledToTheEnd)
{
    testing::internal::CaptureStdout();
    for (int i = 0; i < 40; ++i) consoleStream << "line " << i << '\n';
    testing::internal::GetCapturedStdout();

    const ConsoleWindow& window = consoleWindow();
    ASSERT_LT(logText().size(), ConsoleWindow::editTextLimit);
    EXPECT_EQ(window.editText(), logText());
    EXPECT_EQ(window.editLineCount(), logLineCount() + 1);
    EXPECT_EQ(window.firstVisibleLine(), window.editLineCount() - ConsoleWindow::visibleLines);
}

TEST(ConsoleSave, SavedFileHoldsExactlyTheLogBytes)
{
    consoleStream << "saved\tline\n" << std::string("\0\xff\r", 3) << 7 << '\n';
    ORV::Test::TempDir dir;
    const auto path = dir.write("log.txt", std::string(100000, 'x')); // replaced, not appended to

    consoleWindow().clickSaveLog(path.string());

    const std::string saved = ORV::Test::readFile(path);
    EXPECT_EQ(saved.size(), logText().size());
    EXPECT_TRUE(saved == logText());
    EXPECT_NE(saved.find("saved    line\r\n"), std::string::npos);
}

TEST(ConsoleSave, UnopenablePathEndsTheSaveSilently)
{
    ORV::Test::TempDir dir;
    consoleStream << "kept\n";
    const std::string before = logText();

    EXPECT_FALSE(saveLog((dir.path() / "missing" / "log.txt").string()));
    EXPECT_FALSE(saveLog(dir.path().string())); // a folder
    consoleWindow().clickSaveLog((dir.path() / "missing" / "log.txt").string());

    EXPECT_EQ(logText(), before);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing"));
}

TEST(ConsoleSave, CancelledDialogWritesNothing)
{
    ORV::Test::TempDir dir;
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    consoleWindow().clickSaveLog("");
    std::filesystem::current_path(cwd);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}
