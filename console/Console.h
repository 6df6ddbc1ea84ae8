// The engine's log: one process-wide output stream, ConsoleStream, whose text is
// kept in memory (logText), copied unchanged to standard output, passed to the
// debugger output channel and shown in the hidden console window
// (console/ConsoleWindow.h). It never reports errors. It does not format
// messages, add prefixes or time stamps, or write log files on its own; saving
// is the console window's "Save log" button.
//
// Threading: only the main thread writes; nothing is locked.
#pragma once

#include <cstdint>
#include <ostream>
#include <streambuf>
#include <string>

namespace ORV::Core {

// A stream buffer with no put area and no get area, so every character written
// through a stream on it reaches appendLog at once: single characters (numbers,
// fill) through overflow, runs of characters (string insertions) through
// xsputn. Everything else keeps the standard behaviour, so flushing does
// nothing further.
class ConsoleBuffer : public std::streambuf {
protected:
    // Appends the character; a put of end-of-file appends nothing. Succeeds always.
    int_type overflow(int_type c) override;
    // Appends the n characters at s as one text and returns n.
    std::streamsize xsputn(const char_type* s, std::streamsize n) override;
};

// An output stream over the process-wide ConsoleBuffer, with space as the fill
// character.
class ConsoleStream : public std::ostream {
public:
    explicit ConsoleStream(ConsoleBuffer* buffer);
    ~ConsoleStream() override;
};

// The process-wide log stream: `consoleStream << "Compiling effect\n" << std::flush;`
//
// Created by static initialisation together with its buffer, the log text and
// the console window (in that order, in one translation unit), so it is ready
// when main starts and is torn down in reverse order at exit. The order
// against other translation units is not fixed: do not write to it from
// another file's static initialisers or static destructors.
extern ConsoleStream consoleStream;

// Adds a text to the log:
// 1. writes it unchanged to standard output (lost silently if there is none);
// 2. appends a converted copy to logText: each line feed becomes CR LF and
//    counts one line, each tab becomes four spaces, other bytes are copied;
// 3. sets the whole log as the console window's text and scrolls it by
//    logLineCount lines (clamped, so the view stays at the end);
// 4. passes the unconverted text to the debugger output channel, unless that
//    channel is the same file or terminal as standard output (see Console.cpp).
void appendLog(std::string text);

// Every character ever written to the console after conversion, CR LF line
// ends included. It only grows. The reference stays valid until exit.
const std::string& logText();

// The number of line feeds ever appended (wraps at 2^32).
std::uint32_t logLineCount();

} // namespace ORV::Core
