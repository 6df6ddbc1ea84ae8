#include "app/Manifest.h"

#include "resources/Shader.h"
#include "resources/Texture.h"
#include "scene/SceneEffect.h"

namespace ORV::Demo {

namespace {

const ManifestEntry entries[] = {
    {"cartoonShader", "cartoon.fx", loadShader},
    {"additiveShader", "Additive.fx", loadShader},
    {"cartoonShader2", "HatchCartoon.fx", loadShader},
    {"inkShader", "ink.fx", loadShader},
    {"black", "black.jpg", loadTexture},
    {"Hatch2", "Hatch2.dds", loadTexture},
    {"Hatch1", "Hatch1.dds", loadTexture},
    {"Hatch0", "Hatch0.dds", loadTexture},
    {"light3", "light3.jpg", loadTexture},
    {"cartoon_d", "cartoon_d.jpg", loadTexture},
    {"cartoon_s", "cartoon_s.jpg", loadTexture},
    {"cartoon_g", "cartoon_g.jpg", loadTexture},
    {"grey33", "grey33.jpg", loadTexture},
    {"specular2", "specular2.jpg", loadTexture},
    {"prods", "prods.jpg", loadTexture},
    {"intro1", "intro1.orv3d", loadScene},
    {"intro2", "intro2.orv3d", loadScene},
    {"scene01", "scene01.orv3d", loadScene},
    {"scene02", "scene02.orv3d", loadScene},
    {"scene03", "scene03.orv3d", loadScene},
    {"scene04", "scene04.orv3d", loadScene},
    {"outro", "outro.orv3d", loadScene},
};

} // namespace

std::span<const ManifestEntry> manifest()
{
    return entries;
}

void registerManifest()
{
    ResourceRegistry& registry = resourceRegistry();
    for (const ManifestEntry& entry : entries) registry.addResource(entry.path, entry.name, entry.loader);
}

} // namespace ORV::Demo
