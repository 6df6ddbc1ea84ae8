// orv-scene FILE.orv3d [--json]
// orv-scene --render FILE.orv3d [--camera NAME] [--time T] [--pass ambient|shade|depthdist|emissive]
//           [--size WxH] -o OUT.png
//
// Reads a scene file with the engine's reader and prints what it holds: the
// count of every section, mesh parts with their vertex and index counts,
// materials with their effect and parameters, nodes, cameras, lights, objects
// and the kind and length of every animation. A damaged file prints what was
// read before the damage and where it went wrong.
//
// Exit status: 0 for a complete file, 1 for a damaged one, 2 for a usage error
// or a file that cannot be opened.
//
// --render draws one render pass of the scene at a scene time through one of
// its cameras (the first by default), off-screen, with the effects and
// textures its materials name loaded from the current folder's mounts as the
// demo loads them, and writes the frame as a PNG (tools/orv-scene/Render.h).
//
// Strings are printed byte for byte between quotes with C-style escapes for
// quotes, backslashes and bytes outside printable ASCII; in JSON, bytes from
// 0x80 up are written as \u0080-\u00FF, and numbers that are not finite (NaN,
// infinities) as null, so that the output is always valid JSON.
#include "scene/Animation.h"
#include "scene/SceneFile.h"
#include "tools/orv-scene/Render.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

using namespace ORV;

namespace {

// JSON has no NaN or infinity: there they are written as null.
std::string number(double value, bool json)
{
    if (json && !std::isfinite(value)) return "null";
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.9g", value);
    return buffer;
}

std::string quoted(std::string_view text, bool json)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c >= 0x20 && c < 0x7F) {
                out += static_cast<char>(c);
            } else {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, json ? "\\u%04X" : "\\x%02X", c);
                out += buffer;
            }
        }
    }
    return out + "\"";
}

const char* kindName(const Core::Animation& animation)
{
    if (!animation.track()) return nullptr;
    switch (animation.track()->getValueKind()) {
    case Core::TrackValueKind::Scalar: return "Scalar";
    case Core::TrackValueKind::Vector2: return "Vector2";
    case Core::TrackValueKind::Vector3: return "Vector3";
    case Core::TrackValueKind::Vector4: return "Vector4";
    case Core::TrackValueKind::Quaternion: return "Quaternion";
    case Core::TrackValueKind::Transform: return "Transform";
    }
    return "unknown";
}

std::size_t sampleCount(const Core::Animation& animation)
{
    const auto* track = dynamic_cast<const Core::SampledAnimationTrack*>(animation.track());
    return track ? track->keyCount() : 0;
}

std::string vector3(const Core::Vector3& v, bool json)
{
    return number(v.x, json) + ", " + number(v.y, json) + ", " + number(v.z, json);
}

std::string quaternion(const Core::Quaternion& q, bool json)
{
    return number(q.x, json) + ", " + number(q.y, json) + ", " + number(q.z, json) + ", " + number(q.w, json);
}

void printText(std::ostream& out, const std::string& path, const Demo::SceneDescription& d,
               const Demo::SceneReadResult& result)
{
    out << "scene " << quoted(path, false) << ": " << Demo::sceneReadStatusName(result.status) << ", "
        << result.bytesRead << " bytes read\n";
    out << "meshGroups " << d.meshGroups.size() << ", materials " << d.materials.size() << ", nodes " << d.nodes.size()
        << ", cameras " << d.cameras.size() << ", lights " << d.lights.size() << ", objects " << d.objects.size()
        << ", animations " << d.animations.size() << "\n";

    for (std::size_t g = 0; g < d.meshGroups.size(); ++g) {
        out << "mesh group " << g << ": " << d.meshGroups[g].size() << " parts\n";
        for (std::size_t p = 0; p < d.meshGroups[g].size(); ++p) {
            const Demo::MeshPart& part = d.meshGroups[g][p];
            out << "  part " << p << ": material slot " << part.materialSlot << ", " << part.vertexCount
                << " vertices, " << part.indexCount << " indices\n";
        }
    }
    for (std::size_t m = 0; m < d.materials.size(); ++m) {
        const Demo::MaterialRecord& material = d.materials[m];
        out << "material " << m << " " << quoted(material.name, false) << ": ";
        if (material.subMaterialCount != 0) {
            out << material.subMaterialCount << " sub-materials [";
            for (std::size_t i = 0; i < material.subMaterials.size(); ++i)
                out << (i ? ", " : "") << material.subMaterials[i];
            out << "]\n";
            continue;
        }
        out << "effect " << quoted(material.effectName, false) << ", " << material.parameters.size() << " parameters\n";
        for (const auto& [key, value] : material.parameters)
            out << "  " << quoted(key, false) << " = " << quoted(value, false) << "\n";
    }
    for (std::size_t n = 0; n < d.nodes.size(); ++n) {
        const Demo::NodeRecord& node = d.nodes[n];
        out << "node " << n << " " << quoted(node.name, false) << ": group " << node.groupIndex << ", material "
            << node.materialIndex << ", transform animation " << node.transformAnimation << "\n";
    }
    for (std::size_t c = 0; c < d.cameras.size(); ++c) {
        const Demo::CameraRecord& camera = d.cameras[c];
        out << "camera " << c << " " << quoted(camera.name, false) << ": transform animation "
            << camera.transformAnimation << ", field of view animation " << camera.fieldOfViewAnimation << "\n";
    }
    for (std::size_t l = 0; l < d.lights.size(); ++l) {
        const Demo::LightRecord& light = d.lights[l];
        out << "light " << l << ": position animation " << light.positionAnimation << ", colour animation "
            << light.colourAnimation << ", radius animation " << light.radiusAnimation << "\n";
    }
    for (std::size_t o = 0; o < d.objects.size(); ++o) {
        const Demo::ObjectRecord& object = d.objects[o];
        out << "object " << o << " " << quoted(object.name, false) << ": translation ("
            << vector3(object.transform.translation, false) << "), rotation ("
            << quaternion(object.transform.rotation, false) << "), " << object.properties.size() << " properties\n";
        for (const auto& [key, value] : object.properties)
            out << "  " << quoted(key, false) << " = " << quoted(value, false) << "\n";
    }
    for (std::size_t a = 0; a < d.animations.size(); ++a) {
        const Core::Animation& animation = d.animations[a];
        out << "animation " << a << ": ";
        if (const char* kind = kindName(animation))
            out << kind << ", " << sampleCount(animation) << " samples, length " << number(animation.endTime(), false)
                << " s\n";
        else
            out << "unknown kind, no track\n";
    }
    if (!result.complete()) out << "error: " << result.message << "\n";
}

void printJson(std::ostream& out, const std::string& path, const Demo::SceneDescription& d,
               const Demo::SceneReadResult& result)
{
    out << "{\n  \"file\": " << quoted(path, true) << ",\n  \"status\": \"" << Demo::sceneReadStatusName(result.status)
        << "\",\n  \"bytesRead\": " << result.bytesRead << ",\n";
    if (result.complete()) {
        out << "  \"error\": null,\n";
    } else {
        out << "  \"error\": {\"section\": \"" << Demo::sceneSectionName(result.section)
            << "\", \"record\": " << result.record << ", \"offset\": " << result.offset
            << ", \"message\": " << quoted(result.message, true) << "},\n";
    }
    out << "  \"counts\": {\"meshGroups\": " << d.meshGroups.size() << ", \"materials\": " << d.materials.size()
        << ", \"nodes\": " << d.nodes.size() << ", \"cameras\": " << d.cameras.size()
        << ", \"lights\": " << d.lights.size() << ", \"objects\": " << d.objects.size()
        << ", \"animations\": " << d.animations.size() << "},\n";

    auto list = [&](const char* name, std::size_t count, auto item, bool last = false) {
        out << "  \"" << name << "\": [";
        for (std::size_t i = 0; i < count; ++i) {
            out << (i ? ",\n    " : "\n    ");
            item(i);
        }
        out << (count ? "\n  ]" : "]") << (last ? "\n" : ",\n");
    };
    auto map = [&](const std::map<std::string, std::string>& entries) {
        out << "{";
        bool first = true;
        for (const auto& [key, value] : entries) {
            out << (first ? "" : ", ") << quoted(key, true) << ": " << quoted(value, true);
            first = false;
        }
        out << "}";
    };

    list("meshGroups", d.meshGroups.size(), [&](std::size_t g) {
        out << "{\"parts\": [";
        for (std::size_t p = 0; p < d.meshGroups[g].size(); ++p) {
            const Demo::MeshPart& part = d.meshGroups[g][p];
            out << (p ? ", " : "") << "{\"materialSlot\": " << part.materialSlot
                << ", \"vertexCount\": " << part.vertexCount << ", \"indexCount\": " << part.indexCount << "}";
        }
        out << "]}";
    });
    list("materials", d.materials.size(), [&](std::size_t m) {
        const Demo::MaterialRecord& material = d.materials[m];
        out << "{\"name\": " << quoted(material.name, true);
        if (material.subMaterialCount != 0) {
            out << ", \"subMaterials\": [";
            for (std::size_t i = 0; i < material.subMaterials.size(); ++i)
                out << (i ? ", " : "") << material.subMaterials[i];
            out << "]}";
            return;
        }
        out << ", \"effect\": " << quoted(material.effectName, true) << ", \"parameters\": ";
        map(material.parameters);
        out << "}";
    });
    list("nodes", d.nodes.size(), [&](std::size_t n) {
        const Demo::NodeRecord& node = d.nodes[n];
        out << "{\"name\": " << quoted(node.name, true) << ", \"groupIndex\": " << node.groupIndex
            << ", \"materialIndex\": " << node.materialIndex << ", \"transformAnimation\": " << node.transformAnimation
            << "}";
    });
    list("cameras", d.cameras.size(), [&](std::size_t c) {
        const Demo::CameraRecord& camera = d.cameras[c];
        out << "{\"name\": " << quoted(camera.name, true) << ", \"transformAnimation\": " << camera.transformAnimation
            << ", \"fieldOfViewAnimation\": " << camera.fieldOfViewAnimation << "}";
    });
    list("lights", d.lights.size(), [&](std::size_t l) {
        const Demo::LightRecord& light = d.lights[l];
        out << "{\"positionAnimation\": " << light.positionAnimation
            << ", \"colourAnimation\": " << light.colourAnimation << ", \"radiusAnimation\": " << light.radiusAnimation
            << "}";
    });
    list("objects", d.objects.size(), [&](std::size_t o) {
        const Demo::ObjectRecord& object = d.objects[o];
        out << "{\"name\": " << quoted(object.name, true) << ", \"translation\": ["
            << vector3(object.transform.translation, true) << "], \"rotation\": ["
            << quaternion(object.transform.rotation, true) << "], \"properties\": ";
        map(object.properties);
        out << "}";
    });
    list(
        "animations", d.animations.size(),
        [&](std::size_t a) {
            const Core::Animation& animation = d.animations[a];
            if (const char* kind = kindName(animation))
                out << "{\"kind\": \"" << kind << "\", \"samples\": " << sampleCount(animation)
                    << ", \"end\": " << number(animation.endTime(), true) << "}";
            else
                out << "{\"kind\": null, \"samples\": 0}";
        },
        true);
    out << "}\n";
}

const char* const usage = "usage: orv-scene FILE.orv3d [--json]\n"
                          "       orv-scene --render FILE.orv3d [--camera NAME] [--time T]\n"
                          "                 [--pass ambient|shade|depthdist|emissive] [--size WxH] -o OUT.png\n";

// The --render form; 2 for a usage error.
int renderMain(int argc, char** argv)
{
    Tools::RenderRequest request;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--render" && hasValue) {
            request.scenePath = argv[++i];
        } else if (arg == "--camera" && hasValue) {
            request.camera = argv[++i];
        } else if (arg == "--pass" && hasValue) {
            request.pass = argv[++i];
        } else if (arg == "-o" && hasValue) {
            request.output = argv[++i];
        } else if (arg == "--time" && hasValue) {
            char* end = nullptr;
            request.time = std::strtof(argv[++i], &end);
            if (end == argv[i] || *end != 0) {
                std::cerr << "orv-scene: --time takes seconds, not \"" << argv[i] << "\"\n";
                return 2;
            }
        } else if (arg == "--size" && hasValue) {
            int width = 0, height = 0;
            char extra = 0;
            if (std::sscanf(argv[++i], "%dx%d%c", &width, &height, &extra) != 2 || width < 1 || height < 1
                || width > 8192 || height > 8192) {
                std::cerr << "orv-scene: --size takes WIDTHxHEIGHT, each 1 to 8192\n";
                return 2;
            }
            request.width = width;
            request.height = height;
        } else {
            std::cerr << usage;
            return 2;
        }
    }
    if (request.scenePath.empty() || request.output.empty()) {
        std::cerr << usage;
        return 2;
    }
    return Tools::renderScene(request);
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::string_view(argv[i]) == "--render") return renderMain(argc, argv);
    std::string path;
    bool json = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--json") {
            json = true;
        } else if (arg == "--help" || arg == "-h" || !path.empty() || (arg.size() > 1 && arg[0] == '-')) {
            std::cerr << usage;
            return 2;
        } else {
            path = arg;
        }
    }
    if (path.empty()) {
        std::cerr << usage;
        return 2;
    }

    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::cerr << "orv-scene: cannot open " << path << "\n";
        return 2;
    }
    Demo::SceneDescription description;
    const Demo::SceneReadResult result = Demo::readScene(file, description);

    std::ostringstream out;
    if (json)
        printJson(out, path, description, result);
    else
        printText(out, path, description, result);
    std::cout << out.str();
    if (!result.complete()) {
        std::cerr << "orv-scene: " << path << ": " << result.message << "\n";
        return 1;
    }
    return 0;
}
