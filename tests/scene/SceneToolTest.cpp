#include "content/scenewriter/SceneWriter.h"
#include "scene/SceneFile.h"
#include "tests/support/TempDir.h"
#include "tests/support/ToolRun.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <sstream>
#include <string>

using namespace ORV;

namespace {

using ORV::Test::ToolRun;

ToolRun runTool(const std::string& arguments)
{
    return ORV::Test::runCommand(std::string(ORV_SCENE_TOOL) + " " + arguments);
}

Demo::SceneDescription makeSmallScene()
{
    Demo::SceneDescription d;
    Demo::MeshPart triangle;
    triangle.vertices.resize(3);
    triangle.indices = {0, 1, 2};
    triangle.vertexCount = 3;
    triangle.indexCount = 3;
    Demo::MeshPart empty;
    empty.materialSlot = 1;
    d.meshGroups.push_back({triangle, empty});

    Demo::MaterialRecord toon;
    toon.name = "toon";
    toon.effectName = "fx/toon.fx";
    toon.parameters = {{"Color", "1 0 0"}, {"Texture", "tex/a.jpg"}};
    Demo::MaterialRecord multi;
    multi.name = "multi";
    multi.subMaterialCount = 2;
    multi.subMaterials = {0, 1};
    d.materials = {toon, multi};
    d.nodes.push_back({"Box01", 0, 1, 2, {}});
    d.cameras.push_back({"Camera01", 2, 0});
    d.lights.push_back({1, 1, 0});
    Demo::ObjectRecord lamp;
    lamp.name = "Lamp";
    lamp.transform.translation = {1.0f, 2.5f, -3.0f};
    lamp.properties = {{"kind", "spot"}};
    d.objects.push_back(lamp);

    Content::appendSampledAnimation(d, Core::TrackValueKind::Scalar, std::vector<float>{0.5f, 0.6f, 0.7f});
    Content::appendSampledAnimation(d, Core::TrackValueKind::Vector3, std::vector<float>{1, 2, 3, 4, 5, 6});
    Core::Transform pose;
    float flat[15];
    pose.toFloats(flat);
    Content::appendSampledAnimation(d, Core::TrackValueKind::Transform, flat);
    d.animations.emplace_back();
    return d;
}

} // namespace

TEST(SceneTool, ShowsExactlyWhatTheWriterWrote)
{
    ORV::Test::TempDir dir;
    std::ostringstream bytes;
    std::string error;
    ASSERT_TRUE(Content::writeScene(bytes, makeSmallScene(), error)) << error;
    const std::string path = dir.write("small.orv3d", bytes.str()).string();

    const ToolRun json = runTool(path + " --json");
    EXPECT_EQ(json.status, 0);
    const std::string expected =
        "{\n"
        "  \"file\": \""
        + path
        + "\",\n"
          "  \"status\": \"complete\",\n"
          "  \"bytesRead\": "
        + std::to_string(bytes.str().size())
        + ",\n"
          "  \"error\": null,\n"
          "  \"counts\": {\"meshGroups\": 1, \"materials\": 2, \"nodes\": 1, \"cameras\": 1, \"lights\": 1, "
          "\"objects\": 1, \"animations\": 4},\n"
          "  \"meshGroups\": [\n"
          "    {\"parts\": [{\"materialSlot\": 0, \"vertexCount\": 3, \"indexCount\": 3}, "
          "{\"materialSlot\": 1, \"vertexCount\": 0, \"indexCount\": 0}]}\n"
          "  ],\n"
          "  \"materials\": [\n"
          "    {\"name\": \"toon\", \"effect\": \"fx/toon.fx\", \"parameters\": {\"Color\": \"1 0 0\", "
          "\"Texture\": \"tex/a.jpg\"}},\n"
          "    {\"name\": \"multi\", \"subMaterials\": [0, 1]}\n"
          "  ],\n"
          "  \"nodes\": [\n"
          "    {\"name\": \"Box01\", \"groupIndex\": 0, \"materialIndex\": 1, \"transformAnimation\": 2}\n"
          "  ],\n"
          "  \"cameras\": [\n"
          "    {\"name\": \"Camera01\", \"transformAnimation\": 2, \"fieldOfViewAnimation\": 0}\n"
          "  ],\n"
          "  \"lights\": [\n"
          "    {\"positionAnimation\": 1, \"colourAnimation\": 1, \"radiusAnimation\": 0}\n"
          "  ],\n"
          "  \"objects\": [\n"
          "    {\"name\": \"Lamp\", \"translation\": [1, 2.5, -3], \"rotation\": [0, 0, 0, 1], "
          "\"properties\": {\"kind\": \"spot\"}}\n"
          "  ],\n"
          "  \"animations\": [\n"
          "    {\"kind\": \"Scalar\", \"samples\": 3, \"end\": 0.300000012},\n"
          "    {\"kind\": \"Vector3\", \"samples\": 2, \"end\": 0.200000003},\n"
          "    {\"kind\": \"Transform\", \"samples\": 1, \"end\": 0.100000001},\n"
          "    {\"kind\": null, \"samples\": 0}\n"
          "  ]\n"
          "}\n";
    EXPECT_EQ(json.output, expected);

    const ToolRun text = runTool(path);
    EXPECT_EQ(text.status, 0);
    EXPECT_NE(text.output.find("meshGroups 1, materials 2, nodes 1, cameras 1, lights 1, objects 1, animations 4\n"),
              std::string::npos)
        << text.output;
    EXPECT_NE(text.output.find("  part 0: material slot 0, 3 vertices, 3 indices\n"), std::string::npos);
    EXPECT_NE(text.output.find("material 0 \"toon\": effect \"fx/toon.fx\", 2 parameters\n"), std::string::npos);
    EXPECT_NE(text.output.find("animation 0: Scalar, 3 samples, length 0.300000012 s\n"), std::string::npos);

    // Cut inside the node record: the tool names the section, record and offset
    // and fails.
    const std::string cut = bytes.str().substr(0, bytes.str().find("Box01") + 2);
    const std::string cutPath = dir.write("cut.orv3d", cut).string();
    const ToolRun damaged = runTool(cutPath);
    EXPECT_EQ(damaged.status, 1);
    EXPECT_NE(
        damaged.output.find("error: truncated: nodes record 0: name needs 5 bytes, the file ends after 2 (at byte "
                            + std::to_string(cut.size() - 2) + ")"),
        std::string::npos)
        << damaged.output;
    EXPECT_EQ(runTool(dir.path().string() + "/missing.orv3d").status, 2);
}

TEST(SceneTool, NumbersThatAreNotFiniteAreNullInJsonAndNamedInText)
{
    ORV::Test::TempDir dir;
    Demo::SceneDescription scene = makeSmallScene();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    scene.objects[0].transform.translation = {nan, inf, -inf};
    std::ostringstream bytes;
    std::string error;
    ASSERT_TRUE(Content::writeScene(bytes, scene, error)) << error;
    const std::string path = dir.write("odd.orv3d", bytes.str()).string();

    const ToolRun json = runTool(path + " --json");
    EXPECT_EQ(json.status, 0);
    EXPECT_NE(json.output.find("\"translation\": [null, null, null]"), std::string::npos) << json.output;
    for (const char* bare : {"nan", "inf"}) EXPECT_EQ(json.output.find(bare), std::string::npos) << bare;

    const ToolRun text = runTool(path);
    EXPECT_NE(text.output.find("translation (nan, inf, -inf)"), std::string::npos) << text.output;
}

TEST(SceneTool, RendersOnePassToAPngAndNamesWhatIsThereWhenAskedForWhatIsNot)
{
    ORV::Test::TempDir folder;
    std::ostringstream bytes;
    std::string error;
    ASSERT_TRUE(Content::writeScene(bytes, makeSmallScene(), error)) << error;
    const std::string scene = folder.write("small.orv3d", bytes.str()).string();
    const std::string png = (folder.path() / "out.png").string();

    const ToolRun rendered = runTool("--render " + scene + " --pass shade --time 0.5 --size 32x24 -o " + png);
    ASSERT_EQ(rendered.status, 0) << rendered.output;
    const std::string file = ORV::Test::readFile(png);
    ASSERT_GE(file.size(), 24u);
    EXPECT_EQ(file.substr(1, 3), "PNG");
    // IHDR: big-endian width and height right after the chunk's type.
    EXPECT_EQ(file.substr(12, 4), "IHDR");
    EXPECT_EQ(std::uint8_t(file[19]), 32u);
    EXPECT_EQ(std::uint8_t(file[23]), 24u);

    const ToolRun noCamera = runTool("--render " + scene + " --camera Nope -o " + png);
    EXPECT_EQ(noCamera.status, 1);
    EXPECT_NE(noCamera.output.find("the cameras are Camera01"), std::string::npos) << noCamera.output;
    const ToolRun noPass = runTool("--render " + scene + " --pass glow -o " + png);
    EXPECT_EQ(noPass.status, 1);
    EXPECT_NE(noPass.output.find("ambient, depthdist, emissive, shade"), std::string::npos) << noPass.output;
    EXPECT_EQ(runTool("--render " + scene).status, 2) << "no output named";
    EXPECT_EQ(runTool("--render " + scene + " --size 0x5 -o " + png).status, 2);
}
