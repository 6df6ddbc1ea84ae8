#include "console/ConsoleWindow.h"

#include "console/Console.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>

namespace ORV::Core {

namespace {

// Outer size 600 x 460 less a 3-pixel frame on each side and a 19-pixel caption.
constexpr ConsoleRect windowClientArea{0, 0, 594, 435};
constexpr int buttonWidth = 70;
constexpr int buttonHeight = 26;

std::atomic<bool> quitPosted{false};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

ConsoleWindow::ConsoleWindow()
    : client_(windowClientArea), edit_{client_.x, client_.y, client_.width, client_.height - buttonHeight},
      okButton_{client_.width / 2 - buttonWidth, client_.height - buttonHeight, buttonWidth, buttonHeight},
      saveButton_{client_.width / 2, client_.height - buttonHeight, buttonWidth, buttonHeight}
{
    setEditText(logText());
}

void ConsoleWindow::setEditText(std::string_view text)
{
    if (text.size() > editTextLimit) {
        std::string_view tail = text.substr(text.size() - editTextLimit);
        const std::size_t lineEnd = tail.find('\n');
        if (lineEnd != std::string_view::npos && lineEnd + 1 < tail.size()) tail.remove_prefix(lineEnd + 1);
        text = tail;
    }
    editText_.assign(text);
    editLineCount_ = 1 + static_cast<std::uint32_t>(std::count(editText_.begin(), editText_.end(), '\n'));
    ++textUpdates_;
    // Setting the text puts the caret and the view back at the first line;
    // appendLog then scrolls down by the whole line count.
    firstVisibleLine_ = 0;
}

void ConsoleWindow::lineScroll(std::int64_t lines)
{
    const std::int64_t last = std::max<std::int64_t>(std::int64_t{editLineCount_} - visibleLines, 0);
    const std::int64_t first = std::clamp<std::int64_t>(std::int64_t{firstVisibleLine_} + lines, 0, last);
    firstVisibleLine_ = static_cast<std::uint32_t>(first);
}

void ConsoleWindow::keyDown(int virtualKey)
{
    if (virtualKey == keyEscape || virtualKey == keyReturn) postQuitRequest();
}

void ConsoleWindow::clickOk()
{
    postQuitRequest();
}

void ConsoleWindow::clickSaveLog(const std::string& chosenPath)
{
    if (chosenPath.empty()) return;
    saveLog(chosenPath);
}

bool saveLog(const std::string& path)
{
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) return false;
    const std::string& text = logText();
    const bool written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
    return written && std::fflush(file.get()) == 0;
}

void postQuitRequest()
{
    quitPosted.store(true);
}

bool quitRequested()
{
    return quitPosted.load();
}

void clearQuitRequest()
{
    quitPosted.store(false);
}

} // namespace ORV::Core
