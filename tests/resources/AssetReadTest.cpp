// Whole-asset reads and the include handler's view of the asset folder: what a
// hostile name or file gets (a message, never a throw or a runaway read).
#include "resources/EffectIncludes.h"
#include "resources/FileSystem.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace ORV::Demo;
using ORV::Test::TempDir;

namespace {

bool mentions(const ORV::Core::Result<std::string>& result, const std::string& text)
{
    return result.messages().find(text) != std::string::npos;
}

TEST(ReadWholeStream, ReadsExactlyUpToTheBoundAndRefusesOneByteMore)
{
    const std::string bytes(200'000, 'x');
    std::istringstream exact(bytes);
    auto read = readWholeStream(exact, bytes.size());
    ASSERT_TRUE(read) << read.messages();
    EXPECT_EQ(read.value(), bytes);

    std::istringstream over(bytes + "y");
    auto refused = readWholeStream(over, bytes.size());
    ASSERT_FALSE(refused);
    EXPECT_TRUE(mentions(refused, "larger than 200000 bytes")) << refused.messages();
}

TEST(ReadWholeStream, FolderFailedStreamAndEndlessDeviceGiveMessages)
{
    TempDir folder;
    std::ifstream directory(folder.path(), std::ios::binary);
    directory.exceptions(std::ios::badbit); // even a caller asking for exceptions gets a message
    auto fromFolder = readWholeStream(directory);
    ASSERT_FALSE(fromFolder);
    EXPECT_TRUE(mentions(fromFolder, "cannot be")) << fromFolder.messages();

    std::ifstream missing(folder.path() / "absent", std::ios::binary);
    EXPECT_FALSE(readWholeStream(missing));

    std::ifstream zeros("/dev/zero", std::ios::binary);
    auto endless = readWholeStream(zeros, 1 << 20);
    ASSERT_FALSE(endless);
    EXPECT_TRUE(mentions(endless, "larger than")) << endless.messages();
}

TEST(AssetPaths, RelativePathsWithoutParentSegmentsOnly)
{
    for (const char* inside : {"a.fxh", "effects/a.fxh", "effects\\a.fxh", "./a.fxh", "a..b/c", "..a"})
        EXPECT_TRUE(isAssetPath(inside)) << inside;
    for (const char* outside :
         {"", "/etc/passwd", "\\share\\x", "C:/x.fxh", "c:x", "..", "../x", "a/../../x", "a\\..\\x", "a/.."})
        EXPECT_FALSE(isAssetPath(outside)) << outside;
}

TEST(EffectIncludesFromTheAssetFolder, ServesMountedFilesAndRefusesEverythingElse)
{
    TempDir folder;
    folder.write("empty.fxh", "");
    folder.write("sub/inc.fxh", "float4 x;\n");
    folder.write("sub/folder/keep", "");
    std::filesystem::create_symlink("/dev/zero", folder.path() / "zero.fxh");
    TempDir elsewhere;
    std::filesystem::create_symlink(elsewhere.write("target.fxh", "float4 y;\n"), folder.path() / "linked.fxh");
    folder.write("big.fxh", std::string(maxEffectIncludeBytes + 1, ' '));
    fileSystem().remount(folder.path().string());
    EffectIncludes includes;

    auto empty = includes.open("EMPTY.FXH");
    ASSERT_TRUE(empty) << empty.messages();
    EXPECT_EQ(empty.value(), "");
    auto nested = includes.open("sub\\inc.fxh");
    ASSERT_TRUE(nested) << nested.messages();
    EXPECT_EQ(nested.value(), "float4 x;\n");
    // A link to a regular file is a file of the folder, as it is for every asset.
    EXPECT_TRUE(includes.open("linked.fxh"));

    for (const char* outside : {"/etc/passwd", "/proc/self/environ", "../escape.fxh", "sub/../../escape.fxh"}) {
        auto refused = includes.open(outside);
        ASSERT_FALSE(refused) << outside;
        EXPECT_TRUE(mentions(refused, "outside the asset folder")) << refused.messages();
    }
    // Folders, device nodes and names nothing mounts are no assets.
    for (const char* notAnAsset : {"sub", "sub/folder", "zero.fxh", "absent.fxh"}) {
        auto refused = includes.open(notAnAsset);
        ASSERT_FALSE(refused) << notAnAsset;
        EXPECT_TRUE(mentions(refused, "no such asset")) << refused.messages();
    }
    auto big = includes.open("big.fxh");
    ASSERT_FALSE(big);
    EXPECT_TRUE(mentions(big, "larger than")) << big.messages();
}

} // namespace
