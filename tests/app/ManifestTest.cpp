// The asset manifest: what the loading screen steps through.
#include "app/Manifest.h"

#include "resources/ResourceRegistry.h"
#include "resources/Shader.h"
#include "resources/Texture.h"
#include "scene/SceneEffect.h"

#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <string>
#include <utility>

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

TEST(Manifest, EveryEntryNamesTheFileTheDemoShips)
{
    // The shipped files, in loading order: a wrong extension or a swapped
    // name would leave a resource missing halfway through the demo.
    const std::pair<const char*, const char*> shipped[] = {
        {"cartoonShader", "cartoon.fx"},
        {"additiveShader", "Additive.fx"},
        {"cartoonShader2", "HatchCartoon.fx"},
        {"inkShader", "ink.fx"},
        {"black", "black.jpg"},
        {"Hatch2", "Hatch2.dds"},
        {"Hatch1", "Hatch1.dds"},
        {"Hatch0", "Hatch0.dds"},
        {"light3", "light3.jpg"},
        {"cartoon_d", "cartoon_d.jpg"},
        {"cartoon_s", "cartoon_s.jpg"},
        {"cartoon_g", "cartoon_g.jpg"},
        {"grey33", "grey33.jpg"},
        {"specular2", "specular2.jpg"},
        {"prods", "prods.jpg"},
        {"intro1", "intro1.orv3d"},
        {"intro2", "intro2.orv3d"},
        {"scene01", "scene01.orv3d"},
        {"scene02", "scene02.orv3d"},
        {"scene03", "scene03.orv3d"},
        {"scene04", "scene04.orv3d"},
        {"outro", "outro.orv3d"},
    };
    const auto entries = manifest();
    ASSERT_EQ(entries.size(), std::size(shipped));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_STREQ(entries[i].name, shipped[i].first) << i;
        EXPECT_STREQ(entries[i].path, shipped[i].second) << i;
    }
}

TEST(Manifest, RegisteringQueuesEveryEntryInOrderWithoutLoading)
{
    ResourceRegistry& registry = resourceRegistry();
    registerManifest();
    EXPECT_EQ(registry.pendingCount(), 22u);
    EXPECT_EQ(registry.loadedCount(), 0);
}

TEST(Manifest, ALoadedEntryIsFoundByItsPathAndByItsName)
{
    // The first entry is an effect; without its file it loads as an effect
    // that did not compile, which is still a resource to find.
    ResourceRegistry& registry = resourceRegistry();
    registerManifest();
    registry.loadNext();
    Resource* loaded = registry.findByPath("cartoon.fx");
    EXPECT_NE(loaded, nullptr);
    EXPECT_EQ(registry.findByName("cartoonShader"), loaded);
}

} // namespace
