// Archives made by real writers (Info-ZIP zip, Python's zipfile) read through
// openStream and through orv-cat give exactly what unzip -p gives.
#include "resources/FileSystem.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <random>
#include <sys/wait.h>

namespace ORV::Demo {
namespace {

using Test::readFile;
using Test::TempDir;
namespace fs = std::filesystem;

std::string quote(const std::string& text)
{
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

int run(const std::string& command)
{
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool have(const char* program)
{
    return run(std::string("command -v ") + program + " >/dev/null 2>&1") == 0;
}

std::string readStream(const FileSystem& files, const std::string& path)
{
    auto stream = files.openStream(path);
    EXPECT_TRUE(static_cast<bool>(*stream)) << path;
    return {std::istreambuf_iterator<char>(*stream), std::istreambuf_iterator<char>()};
}

class Interop : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!have("zip") || !have("unzip") || !have("python3")) GTEST_SKIP() << "zip, unzip or python3 missing";
        std::mt19937 random(99);
        std::string text;
        while (text.size() < 200000) text += "line " + std::to_string(random() % 5000) + " of text\n";
        std::string noise(40000, '\0');
        for (char& c : noise) c = static_cast<char>(random());
        sources = {
            {"textures/wood.jpg", noise}, {"readme.txt", text}, {"empty.txt", ""}, {"Mixed/Case.FX", "float4 c;"}};
        for (const auto& [name, bytes] : sources) dir.write("src/" + name, bytes);
    }

    // Checks every source member of the archive in folder: openStream, orv-cat
    // run in the folder, and unzip -p agree with each other and the source.
    void expectSameAsUnzip(const std::string& folder, const std::string& archive)
    {
        const fs::path root = dir.path() / folder;
        FileSystem files;
        files.remount(root.string());
        ASSERT_FALSE(files.mountPoints().empty());
        ASSERT_EQ(files.mountPoints().front().archive.entries().size(), sources.size()) << archive;
        for (const auto& [name, bytes] : sources) {
            const fs::path expected = dir.path() / "expected";
            run("unzip -p " + quote((root / archive).string()) + " " + quote(name) + " > " + quote(expected.string())
                + " 2>/dev/null");
            const std::string fromUnzip = readFile(expected);
            EXPECT_EQ(fromUnzip, bytes) << archive << " " << name;
            EXPECT_EQ(readStream(files, name), fromUnzip) << archive << " " << name;
#ifdef ORV_CAT_PATH
            const fs::path got = dir.path() / "got";
            EXPECT_EQ(run("cd " + quote(root.string()) + " && " + quote(ORV_CAT_PATH) + " " + quote(name) + " > "
                          + quote(got.string())),
                      0);
            EXPECT_EQ(readFile(got), fromUnzip) << archive << " " << name;
#endif
        }
    }

    std::vector<std::pair<std::string, std::string>> sources;
    TempDir dir;
};

TEST_F(Interop, InfoZipDeflatedWithComment)
{
    const std::string src = quote((dir.path() / "src").string());
    const std::string zip = quote((dir.path() / "one/pack.zip").string());
    fs::create_directories(dir.path() / "one");
    ASSERT_EQ(run("cd " + src + " && zip -q -r -D -X " + zip + " ."), 0);
    ASSERT_EQ(run("echo 'an archive comment' | zip -q -z " + zip), 0);
    expectSameAsUnzip("one", "pack.zip");
}

TEST_F(Interop, InfoZipStored)
{
    const std::string src = quote((dir.path() / "src").string());
    fs::create_directories(dir.path() / "two");
    ASSERT_EQ(run("cd " + src + " && zip -q -0 -r -D -X " + quote((dir.path() / "two/pack.zip").string()) + " ."), 0);
    expectSameAsUnzip("two", "pack.zip");
}

TEST_F(Interop, InfoZipStreamedInput)
{
    // Input from a pipe: zip doesn't know the size ahead and writes ZIP64
    // size markers in the local header; when its output is a pipe too, it
    // can't seek back and writes data descriptors instead.
    fs::create_directories(dir.path() / "three");
    const std::string input = "cat " + quote((dir.path() / "src/readme.txt").string());
    ASSERT_EQ(run(input + " | zip -q " + quote((dir.path() / "three/a.zip").string()) + " -"), 0);
    ASSERT_EQ(run(input + " | zip -q - - | cat > " + quote((dir.path() / "three/b.zip").string())), 0);
    for (const char* name : {"a.zip", "b.zip"}) {
        ZipArchive archive;
        archive.open((dir.path() / "three" / name).string());
        const auto bytes = archive.readMember("/-");
        ASSERT_TRUE(bytes.has_value()) << name;
        EXPECT_EQ(std::string(bytes->begin(), bytes->end()), sources[1].second) << name;
    }
}

TEST_F(Interop, InfoZipAppendedToAnotherFile)
{
    fs::create_directories(dir.path() / "six");
    const std::string zip = quote((dir.path() / "pack.zip").string());
    ASSERT_EQ(run("cd " + quote((dir.path() / "src").string()) + " && zip -q -r -D -X " + zip + " ."), 0);
    dir.write("stub", std::string(777, 's'));
    ASSERT_EQ(run("cat " + quote((dir.path() / "stub").string()) + " " + zip + " > "
                  + quote((dir.path() / "six/pack.zip").string())),
              0);
    expectSameAsUnzip("six", "pack.zip");
    FileSystem files;
    files.remount((dir.path() / "six").string());
    EXPECT_EQ(files.mountPoints().front().archive.baseOffset(), 777);
}

TEST_F(Interop, PythonZipfileWithCommentAndBytesInFront)
{
    fs::create_directories(dir.path() / "four");
    const fs::path archive = dir.path() / "four/pack.zip";
    const std::string script = "import sys, zipfile\n"
                               "src, out = sys.argv[1], sys.argv[2]\n"
                               "open(out, 'wb').write(b'#!/bin/sh\\necho not an archive\\n' * 40)\n"
                               "with zipfile.ZipFile(out, 'a', compression=zipfile.ZIP_DEFLATED) as z:\n"
                               "    z.comment = b'python made this'\n"
                               "    for name in ['textures/wood.jpg', 'readme.txt', 'empty.txt', 'Mixed/Case.FX']:\n"
                               "        z.write(src + '/' + name, name)\n";
    dir.write("make.py", script);
    ASSERT_EQ(run("python3 " + quote((dir.path() / "make.py").string()) + " " + quote((dir.path() / "src").string())
                  + " " + quote(archive.string())),
              0);
    expectSameAsUnzip("four", "pack.zip");
}

#ifdef ORV_CAT_PATH
TEST_F(Interop, OrvCatFailsOnMissingPathsAndListsTheSearchList)
{
    fs::create_directories(dir.path() / "five/sub");
    ASSERT_EQ(run("cd " + quote((dir.path() / "src").string()) + " && zip -q -r -D -X "
                  + quote((dir.path() / "five/sub/pack.zip").string()) + " ."),
              0);
    dir.write("five/loose.txt", "loose");
    const std::string cd = "cd " + quote((dir.path() / "five").string()) + " && ";
    const fs::path out = dir.path() / "out", err = dir.path() / "err";
    EXPECT_NE(run(cd + quote(ORV_CAT_PATH) + " readme.txt nowhere.txt > " + quote(out.string()) + " 2> "
                  + quote(err.string())),
              0);
    EXPECT_EQ(readFile(out), sources[1].second);
    EXPECT_NE(readFile(err).find("nowhere.txt"), std::string::npos);

    EXPECT_EQ(run(cd + quote(ORV_CAT_PATH) + " --list > " + quote(out.string())), 0);
    const std::string list = readFile(out);
    const auto archiveLine = list.find("archive ./sub/pack.zip (4 members)");
    const auto memberLine = list.find("  /mixed/case.fx 9 bytes");
    const auto directoryLine = list.find("directory ./ (1 files)\n  /loose.txt\n");
    EXPECT_NE(archiveLine, std::string::npos) << list;
    EXPECT_NE(memberLine, std::string::npos) << list;
    EXPECT_NE(directoryLine, std::string::npos) << list;
    EXPECT_LT(archiveLine, directoryLine);
}
#endif

} // namespace
} // namespace ORV::Demo
