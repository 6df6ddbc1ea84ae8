// The console window: a hidden window with a read-only multi-line text control
// that shows the log, an "Ok" button and a "Save log" button. There is no real
// window behind it; this is a model of the controls' state (text, scroll,
// buttons) and of how the window handles keys and clicks, so the behaviour is
// the same on every platform and testable without a desktop. It never becomes
// visible. It does not decide when the process stops: it only posts a quit
// request (quitRequested below), which the display's frame loop observes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ORV::Core {

// Virtual key codes the window reacts to.
inline constexpr int keyReturn = 13;
inline constexpr int keyEscape = 27;

// A control's place in the window's client area, in pixels.
struct ConsoleRect {
    int x = 0, y = 0, width = 0, height = 0;
    friend bool operator==(const ConsoleRect&, const ConsoleRect&) = default;
};

class ConsoleWindow {
public:
    static constexpr const char* className = "ORVConsole";
    static constexpr const char* caption = "Marrowlight";

    // The text control keeps at most this many bytes. A longer log is shown
    // from the first line that starts within its last editTextLimit bytes, so
    // the end of the log stays visible and each update copies a bounded amount.
    // logText itself and the saved file always hold the whole log.
    static constexpr std::size_t editTextLimit = 64 * 1024;

    // Lines the text control shows at once: its height (client height 435
    // less the 26-pixel button row and its border) over a 16-pixel line.
    static constexpr std::uint32_t visibleLines = 25;

    // Lays out the controls in the 600 x 460 window and shows the current
    // logText, as window creation does.
    ConsoleWindow();

    // SetWindowText of the text control: replaces its whole text (cut to
    // editTextLimit as described above) and scrolls back to the first line.
    void setEditText(std::string_view text);
    // EM_LINESCROLL: scrolls by the given number of lines, clamped so that the
    // first visible line stays between 0 and lineCount - visibleLines.
    void lineScroll(std::int64_t lines);

    const std::string& editText() const { return editText_; }
    // Lines of the text, counted as the control does: line breaks + 1.
    std::uint32_t editLineCount() const { return editLineCount_; }
    std::uint32_t firstVisibleLine() const { return firstVisibleLine_; }
    // How many times the text has been set, including with unchanged text.
    std::uint64_t textUpdates() const { return textUpdates_; }

    // Window procedure, one call per message kind:
    // Escape or Enter posts a quit request; any other key does nothing.
    void keyDown(int virtualKey);
    // The "Ok" button posts a quit request.
    void clickOk();
    // The "Save log" button. The file dialog of a desktop build is replaced by
    // its result: chosenPath is the path the user picked, empty when the
    // dialog was cancelled. Saves with saveLog; failures end the save silently.
    void clickSaveLog(const std::string& chosenPath);
    // The close box does nothing: the console cannot be closed on its own.
    void close() {}

    bool visible() const { return false; }
    const ConsoleRect& clientRect() const { return client_; }
    const ConsoleRect& editRect() const { return edit_; }
    const ConsoleRect& okButtonRect() const { return okButton_; }
    const ConsoleRect& saveButtonRect() const { return saveButton_; }

private:
    std::string editText_;
    std::uint32_t editLineCount_ = 1;
    std::uint32_t firstVisibleLine_ = 0;
    std::uint64_t textUpdates_ = 0;
    ConsoleRect client_;
    ConsoleRect edit_;
    ConsoleRect okButton_;
    ConsoleRect saveButton_;
};

// The process-wide console window, created by static initialisation after the
// log text (console/Console.h) and updated on every append.
ConsoleWindow& consoleWindow();

// Writes the exact bytes of logText (CR LF line ends) to path, replacing the
// file. Returns false, leaving no message, when the file cannot be opened or
// the write fails; the log is unchanged either way.
bool saveLog(const std::string& path);

// The quit request the console posts (the process-wide equivalent of a quit
// message in the main thread's queue). The display's frame loop reads it and
// ends the run; it stays set once posted.
void postQuitRequest();
bool quitRequested();
// Withdraws a posted request; for tests that post one on purpose.
void clearQuitRequest();

} // namespace ORV::Core
