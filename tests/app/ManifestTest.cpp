// The asset manifest: what the loading screen steps through.
#include "app/Manifest.h"

#include "resources/ResourceRegistry.h"
#include "resources/Shader.h"
#include "resources/Texture.h"
#include "scene/SceneEffect.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace ORV::Demo;

namespace {

TEST(Manifest, TwentyTwoAssetsWithDistinctNamesLoadedByTheirKind)
{
    const auto entries = manifest();
    ASSERT_EQ(entries.size(), 22u);
    std::set<std::string> names, paths;
    for (const ManifestEntry& entry : entries) {
        names.insert(entry.name);
        paths.insert(entry.path);
        const std::string path = entry.path;
        const std::string extension = path.substr(path.rfind('.') + 1);
        const ResourceLoader expected = extension == "fx" ? loadShader : extension == "orv3d" ? loadScene : loadTexture;
        EXPECT_EQ(entry.loader, expected) << path;
    }
    EXPECT_EQ(names.size(), 22u);
    EXPECT_EQ(paths.size(), 22u);
    // The names the code looks up.
    for (const char* looked : {"inkShader", "intro1", "intro2", "scene01", "scene02", "scene03", "scene04", "outro"})
        EXPECT_EQ(names.count(looked), 1u) << looked;
    // Effects first (scenes' materials find them loaded), scenes last.
    EXPECT_EQ(std::string(entries.front().path), "cartoon.fx");
    EXPECT_EQ(std::string(entries.back().name), "outro");
}

TEST(Manifest, RegisteringQueuesEveryEntryInOrderWithoutLoading)
{
    ResourceRegistry& registry = resourceRegistry();
    registerManifest();
    EXPECT_EQ(registry.pendingCount(), 22u);
    EXPECT_EQ(registry.loadedCount(), 0);
}

} // namespace
