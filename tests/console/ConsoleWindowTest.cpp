#include "console/ConsoleWindow.h"
#include "console/Console.h"

#include <gtest/gtest.h>

#include <string>

using namespace ORV::Core;

namespace {

std::string numberedLines(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i) text += "line " + std::to_string(i) + "\r\n";
    return text;
}

// Leaves no quit request behind for the next test.
class ConsoleKeys : public testing::Test {
protected:
    void SetUp() override { clearQuitRequest(); }
    void TearDown() override { clearQuitRequest(); }
    ConsoleWindow window;
};

} // namespace

TEST(ConsoleWindowModel, IsHiddenWithItsControlsLaidOut)
{
    ConsoleWindow window;
    EXPECT_FALSE(window.visible());
    EXPECT_STREQ(ConsoleWindow::className, "ORVConsole");
    EXPECT_STREQ(ConsoleWindow::caption, "Marrowlight");
    const ConsoleRect client = window.clientRect();
    EXPECT_EQ(window.editRect(), (ConsoleRect{0, 0, client.width, client.height - 26}));
    EXPECT_EQ(window.okButtonRect(), (ConsoleRect{client.width / 2 - 70, client.height - 26, 70, 26}));
    EXPECT_EQ(window.saveButtonRect(), (ConsoleRect{client.width / 2, client.height - 26, 70, 26}));
}

TEST(ConsoleWindowModel, StartsWithTheCurrentLog)
{
    consoleStream << "before the window\n";
    ConsoleWindow window;
    EXPECT_EQ(window.editText(), logText());
    EXPECT_EQ(window.firstVisibleLine(), 0u);
}

TEST(ConsoleWindowModel, LineScrollIsClampedToTheLastPage)
{
    ConsoleWindow window;
    window.setEditText(numberedLines(30)); // 30 line breaks: 31 lines, the last one empty
    ASSERT_EQ(window.editLineCount(), 31u);
    EXPECT_EQ(window.firstVisibleLine(), 0u);

    window.lineScroll(30);
    EXPECT_EQ(window.firstVisibleLine(), 31u - ConsoleWindow::visibleLines);
    window.lineScroll(1'000'000'000);
    EXPECT_EQ(window.firstVisibleLine(), 31u - ConsoleWindow::visibleLines);
    window.lineScroll(-5);
    EXPECT_EQ(window.firstVisibleLine(), 26u - ConsoleWindow::visibleLines);
    window.lineScroll(-100);
    EXPECT_EQ(window.firstVisibleLine(), 0u);
}

TEST(ConsoleWindowModel, ShortTextDoesNotScroll)
{
    ConsoleWindow window;
    window.setEditText(numberedLines(ConsoleWindow::visibleLines - 1));
    window.lineScroll(1000);
    EXPECT_EQ(window.firstVisibleLine(), 0u);
    window.setEditText("");
    EXPECT_EQ(window.editLineCount(), 1u);
    window.lineScroll(1);
    EXPECT_EQ(window.firstVisibleLine(), 0u);
}

TEST(ConsoleWindowModel, SettingTextScrollsBackToTheTop)
{
    ConsoleWindow window;
    window.setEditText(numberedLines(100));
    window.lineScroll(100);
    ASSERT_GT(window.firstVisibleLine(), 0u);
    const auto updates = window.textUpdates();
    window.setEditText(numberedLines(100));
    EXPECT_EQ(window.firstVisibleLine(), 0u);
    EXPECT_EQ(window.textUpdates(), updates + 1);
}

TEST(ConsoleWindowModel, TextAtTheLimitIsKeptWhole)
{
    ConsoleWindow window;
    const std::string text(ConsoleWindow::editTextLimit, 'x');
    window.setEditText(text);
    EXPECT_EQ(window.editText(), text);
}

TEST(ConsoleWindowModel, LongerTextShowsItsTailFromALineStart)
{
    ConsoleWindow window;
    std::string text = "first line, dropped\r\n";
    while (text.size() <= ConsoleWindow::editTextLimit + 1000) text += numberedLines(50);
    text += "last";
    window.setEditText(text);

    const std::string& shown = window.editText();
    ASSERT_LE(shown.size(), ConsoleWindow::editTextLimit);
    ASSERT_GT(shown.size(), ConsoleWindow::editTextLimit - 100);
    EXPECT_EQ(text.compare(text.size() - shown.size(), shown.size(), shown), 0);
    EXPECT_EQ(text.compare(text.size() - shown.size() - 2, 2, "\r\n"), 0);
    EXPECT_EQ(shown.rfind("line ", 0), 0u);
    EXPECT_EQ(shown.substr(shown.size() - 4), "last");
}

TEST(ConsoleWindowModel, LongerTextWithoutLineBreaksKeepsTheLastBytes)
{
    ConsoleWindow window;
    std::string text(ConsoleWindow::editTextLimit + 1, 'a');
    text.back() = 'b';
    text += "\r\n"; // the only break is at the very end: no line start to cut at
    window.setEditText(text);
    EXPECT_EQ(window.editText(), text.substr(text.size() - ConsoleWindow::editTextLimit));
}

TEST_F(ConsoleKeys, EscapePostsAQuitRequest)
{
    window.keyDown(keyEscape);
    EXPECT_TRUE(quitRequested());
}

TEST_F(ConsoleKeys, EnterPostsAQuitRequest)
{
    window.keyDown(keyReturn);
    EXPECT_TRUE(quitRequested());
}

TEST_F(ConsoleKeys, OtherKeysDoNothing)
{
    for (int key : {0, 12, 14, 26, 28, int{'A'}, int{' '}, 255}) window.keyDown(key);
    EXPECT_FALSE(quitRequested());
}

TEST_F(ConsoleKeys, OkButtonPostsAQuitRequest)
{
    window.clickOk();
    EXPECT_TRUE(quitRequested());
}

TEST_F(ConsoleKeys, CloseBoxDoesNothing)
{
    window.close();
    EXPECT_FALSE(quitRequested());
    EXPECT_FALSE(window.visible());
}

TEST_F(ConsoleKeys, QuitRequestStaysPostedUntilWithdrawn)
{
    consoleWindow().keyDown(keyEscape);
    EXPECT_TRUE(quitRequested());
    window.keyDown('Q');
    EXPECT_TRUE(quitRequested());
    clearQuitRequest();
    EXPECT_FALSE(quitRequested());
}
