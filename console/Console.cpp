#include "console/Console.h"

#include "console/ConsoleWindow.h"
#include "platform/DebugOutput.h"

#include <cstdio>

namespace ORV::Core {

// The process-wide console objects, defined here in the order static
// initialisation constructs them (and the reverse of their teardown at exit):
// the stream, bound to the address of the buffer that is constructed next; the
// buffer; the log text and line count; the window. The stream only stores the
// buffer's address while the buffer is not yet constructed. logText and the
// line count are constant-initialised, so they are ready before anything else.
extern ConsoleBuffer consoleBuffer;
ConsoleStream consoleStream(&consoleBuffer);
ConsoleBuffer consoleBuffer;

namespace {
std::string logTextValue;
std::uint32_t logLineCountValue = 0;
ConsoleWindow window;
} // namespace

ConsoleBuffer::int_type ConsoleBuffer::overflow(int_type c)
{
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    appendLog(std::string(1, traits_type::to_char_type(c)));
    return c;
}

std::streamsize ConsoleBuffer::xsputn(const char_type* s, std::streamsize n)
{
    if (n <= 0) {
        appendLog(std::string());
        return 0;
    }
    appendLog(std::string(s, static_cast<std::size_t>(n)));
    return n;
}

ConsoleStream::ConsoleStream(ConsoleBuffer* buffer) : std::ostream(buffer)
{
    fill(' ');
}

ConsoleStream::~ConsoleStream() = default;

void appendLog(std::string text)
{
    if (!text.empty()) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }

    std::string converted;
    converted.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        if (c == '\n') {
            converted += "\r\n";
            ++logLineCountValue;
        } else if (c == '\t') {
            converted += "    ";
        } else {
            converted += c;
        }
    }
    logTextValue += converted;

    window.setEditText(logTextValue);
    window.lineScroll(logLineCountValue);

    // The debugger output channel is standard error on Linux. When standard
    // error is the same file or terminal as standard output (a plain terminal
    // run, or `2>&1`), the text is already there from step 1: writing it again
    // would show every log line twice. A debugger-style watcher that reads
    // standard error alone still gets every write when the two are apart.
    if (!Platform::debugOutputSharesStandardOutput()) Platform::debugOutput(text);
}

const std::string& logText()
{
    return logTextValue;
}

std::uint32_t logLineCount()
{
    return logLineCountValue;
}

ConsoleWindow& consoleWindow()
{
    return window;
}

} // namespace ORV::Core
