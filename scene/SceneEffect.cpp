#include "scene/SceneEffect.h"

#include "console/Console.h"
#include "display/Display.h"
#include "resources/FileSystem.h"
#include "resources/Material.h"
#include "resources/Model.h"
#include "scene/SceneAssembly.h"
#include "scene/SceneFile.h"
#include "scene/SceneGlobals.h"

#include <cmath>

namespace ORV::Demo {

namespace {

// The rotation matrix of a quaternion for row vectors, from its components as
// they are.
Core::Matrix rotationMatrix(const Core::Quaternion& q)
{
    const float x = q.x, y = q.y, z = q.z, w = q.w;
    Core::Matrix m;
    m.m[0][0] = 1 - 2 * (y * y + z * z);
    m.m[0][1] = 2 * (x * y + z * w);
    m.m[0][2] = 2 * (x * z - y * w);
    m.m[1][0] = 2 * (x * y - z * w);
    m.m[1][1] = 1 - 2 * (x * x + z * z);
    m.m[1][2] = 2 * (y * z + x * w);
    m.m[2][0] = 2 * (x * z + y * w);
    m.m[2][1] = 2 * (y * z - x * w);
    m.m[2][2] = 1 - 2 * (x * x + y * y);
    return m;
}

Core::Matrix diagonal(float x, float y, float z)
{
    Core::Matrix m;
    m.m[0][0] = x;
    m.m[1][1] = y;
    m.m[2][2] = z;
    return m;
}

// v + 2w (u x v) + 2 u x (u x v): v rotated by the unit quaternion (u, w).
Core::Vector3 rotate(const Core::Quaternion& q, const Core::Vector3& v)
{
    const Core::Vector3 u{q.x, q.y, q.z};
    const Core::Vector3 uv = Core::cross(u, v);
    return v + uv * (2 * q.w) + Core::cross(u, uv) * 2.0f;
}

// The aspect ratio every scene camera is built with: the single nearest 1.333
// (0x3FAA9FBE), not 4/3.
constexpr float sceneCameraAspect = 1.333f;

} // namespace

Core::Quaternion inverseQuaternion(const Core::Quaternion& q)
{
    const float n = q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w;
    if (!(n > 0.0f)) return {0.0f, 0.0f, 0.0f, 1.0f};
    return {-q.x / n, -q.y / n, -q.z / n, q.w / n};
}

Core::Matrix nodeMatrix(const Core::Transform& t)
{
    const Core::Matrix scaleOrientation = rotationMatrix(t.scaleOrientation);
    const Core::Matrix inverseScaleOrientation = rotationMatrix(inverseQuaternion(t.scaleOrientation));
    Core::Matrix translation;
    translation.m[3][0] = t.translation.x;
    translation.m[3][1] = t.translation.y;
    translation.m[3][2] = t.translation.z;
    return ((((inverseScaleOrientation * diagonal(t.scale.x, t.scale.y, t.scale.z)) * scaleOrientation)
             * rotationMatrix(t.rotation))
            * diagonal(t.sign, t.sign, t.sign))
           * translation;
}

SceneEffect::SceneEffect() = default;
SceneEffect::~SceneEffect() = default;

void SceneEffect::build(std::istream& in, Material* defaultMaterial, const std::string& sourceName)
{
    SceneDescription description;
    const SceneReadResult read = readScene(in, description);
    // A file that is no scene file stays an empty scene; one cut or damaged
    // part way keeps what was read before the fault. Either way the log says
    // so, once, naming the file.
    if (!read.complete()) Core::consoleStream << "Scene " << sourceName << ": " << read.message << "\n" << std::flush;
    defaultMaterial_ = defaultMaterial;

    for (const MeshGroup& parts : description.meshGroups) {
        ModelGroup group;
        for (const MeshPart& part : parts) {
            auto model = std::make_unique<Model>();
            buildFromMesh(*model, part);
            group.models.push_back(model.get());
            group.materialSlots.push_back(part.materialSlot);
            ownedModels_.push_back(std::move(model));
        }
        modelGroups_.push_back(std::move(group));
    }

    animations_ = description.animations; // the copies point to the tracks kept below
    tracks_ = std::move(description.tracks);

    for (const MaterialRecord& record : description.materials) {
        MaterialEntry entry;
        entry.name = record.name;
        entry.subMaterialCount = record.subMaterialCount;
        if (record.subMaterialCount != 0)
            entry.subMaterials = record.subMaterials;
        else
            entry.material = createMaterial(record);
        materials_.push_back(std::move(entry));
    }

    // Indices between records come from the file. What names nothing is kept
    // (so that lists keep the file's order) but is neither drawn nor animated.
    std::size_t faults = 0;
    std::string firstFault;
    auto fault = [&](std::string what) {
        if (faults++ == 0) firstFault = std::move(what);
    };
    auto badAnimation = [&](std::int32_t index) { return animationAt(index) == nullptr; };
    for (std::size_t i = 0; i < description.nodes.size(); ++i) {
        const NodeRecord& record = description.nodes[i];
        Node node;
        node.name = record.name;
        node.groupIndex = record.groupIndex;
        node.materialIndex = record.materialIndex;
        node.transformAnimation = record.transformAnimation;
        node.drawable = record.groupIndex >= 0 && std::size_t(record.groupIndex) < modelGroups_.size()
                        && record.materialIndex >= 0 && std::size_t(record.materialIndex) < materials_.size();
        if (!node.drawable)
            fault("node " + std::to_string(i) + " \"" + record.name + "\" names mesh group "
                  + std::to_string(record.groupIndex) + " and material " + std::to_string(record.materialIndex));
        else if (badAnimation(record.transformAnimation))
            fault("node " + std::to_string(i) + " \"" + record.name + "\" names animation "
                  + std::to_string(record.transformAnimation));
        nodes_.push_back(std::move(node));
    }
    for (std::size_t i = 0; i < description.lights.size(); ++i) {
        const LightRecord& record = description.lights[i];
        Light light;
        light.positionAnimation = record.positionAnimation;
        light.colourAnimation = record.colourAnimation;
        light.radiusAnimation = record.radiusAnimation;
        if (badAnimation(record.positionAnimation) || badAnimation(record.colourAnimation)
            || badAnimation(record.radiusAnimation))
            fault("light " + std::to_string(i) + " names an animation the file lacks");
        lights_.push_back(light);
    }
    for (const CameraRecord& record : description.cameras) {
        // A camera that can't be animated has no frame to look through: it is
        // not bound, so selecting it keeps the camera before.
        if (badAnimation(record.transformAnimation) || badAnimation(record.fieldOfViewAnimation)) {
            fault("camera \"" + record.name + "\" names an animation the file lacks");
            continue;
        }
        cameraBindings_[record.name] = {record.transformAnimation, record.fieldOfViewAnimation};
    }
    if (!description.cameras.empty()) currentCamera_ = description.cameras.front().name;
    for (std::size_t g = 0; g < modelGroups_.size(); ++g)
        for (std::int32_t slot : modelGroups_[g].materialSlots)
            if (slot < 0) fault("mesh group " + std::to_string(g) + " has the material slot " + std::to_string(slot));
    if (faults != 0)
        Core::consoleStream << "Scene " << sourceName << ": " << faults
                            << " record(s) name what the file lacks and are not drawn or animated; the first: "
                            << firstFault << "\n"
                            << std::flush;
}

const Core::Animation* SceneEffect::animationAt(std::int32_t index) const
{
    if (index < 0 || std::size_t(index) >= animations_.size()) return nullptr;
    return &animations_[std::size_t(index)];
}

Material* SceneEffect::createMaterial(const MaterialRecord&)
{
    return defaultMaterial_;
}

Material* SceneEffect::adoptMaterial(std::unique_ptr<Material> material)
{
    ownedMaterials_.push_back(std::move(material));
    return ownedMaterials_.back().get();
}

void SceneEffect::update(float, float time)
{
    // The animations are copies bound to shared tracks; each evaluation sets
    // the time on the copy it reads.
    auto evaluate = [&](std::int32_t index, auto& out) {
        if (index < 0 || std::size_t(index) >= animations_.size()) return;
        Core::Animation& animation = animations_[std::size_t(index)];
        animation.setTime(time);
        animation.evaluate(out);
    };
    for (Node& node : nodes_) {
        Core::Transform pose = Core::Transform::identity();
        evaluate(node.transformAnimation, pose);
        node.transform = pose;
    }
    for (Light& light : lights_) {
        Core::Vector3 position, colour;
        float radius = 0.0f;
        evaluate(light.positionAnimation, position);
        evaluate(light.colourAnimation, colour);
        evaluate(light.radiusAnimation, radius);
        light.position = position;
        light.colour = colour;
        light.radius = radius;
    }
    for (const auto& [name, binding] : cameraBindings_) {
        Core::Transform pose = Core::Transform::identity();
        float fieldOfView = 0.0f;
        evaluate(binding.transformAnimation, pose);
        evaluate(binding.fieldOfViewAnimation, fieldOfView);
        // The camera looks through the inverse of its node's rotation.
        Core::Quaternion q = inverseQuaternion(pose.rotation);
        const float length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
        if (length > 0.0f) q = {q.x / length, q.y / length, q.z / length, q.w / length};
        Camera camera;
        camera.setFrame(pose.translation, rotate(q, {1, 0, 0}), rotate(q, {0, 1, 0}), rotate(q, {0, 0, 1}));
        camera.setPerspective(fieldOfView, sceneCameraAspect, 1.0f, 10000.0f);
        cameras_.insert_or_assign(name, camera);
    }
}

void SceneEffect::selectCamera(const std::string& name)
{
    if (cameraBindings_.count(name) != 0) currentCamera_ = name;
}

void SceneEffect::render(Effect*)
{
    auto camera = cameras_.find(currentCamera_);
    Display* display = Display::instance();
    if (camera == cameras_.end() || !display) return;
    display->setCamera(camera->second);
    for (const Node& node : nodes_)
        if (node.drawable) renderNode(node);
}

void SceneEffect::renderNode(const Node& node)
{
    Display::instance()->setWorld(nodeMatrix(node.transform), 0);
    currentMaterialEntry_ = &materials_[std::size_t(node.materialIndex)];
    renderGroup(modelGroups_[std::size_t(node.groupIndex)]);
}

void SceneEffect::renderGroup(const ModelGroup& group)
{
    const MaterialEntry& entry = *currentMaterialEntry_;
    for (std::size_t i = 0; i < group.models.size(); ++i) {
        Model& model = *group.models[i];
        if (entry.subMaterialCount != 0) {
            // A part's slot picks from the scene's whole material list, counted
            // from its first entry. A slot that lands outside it (a negative
            // slot, or more sub-materials than the scene has materials) leaves
            // the part undrawn.
            const std::int64_t index = std::int64_t(group.materialSlots[i]) % entry.subMaterialCount;
            if (index < 0 || std::uint64_t(index) >= materials_.size()) continue;
            model.material = materials_[std::size_t(index)].material;
        } else {
            model.material = entry.material;
        }
        model.draw();
    }
}

void PassSceneEffect::render(Effect* parent)
{
    const Display* display = Display::instance();
    if (!display) return;
    const PassId pass = display->currentPass();
    if (pass == ambientPass || pass == depthDistPass || pass == emissivePass) {
        SceneEffect::render(parent);
    } else if (pass == shadePass) {
        SceneGlobals& globals = sceneGlobals();
        for (const Light& light : lights()) {
            globals.lightPosition = light.position;
            globals.lightColor = light.colour;
            globals.lightRadius = light.radius;
            SceneEffect::render(parent);
        }
    }
}

Material* PassSceneEffect::createMaterial(const MaterialRecord& record)
{
    return adoptMaterial(std::unique_ptr<Material>(buildMaterial(record)));
}

std::unique_ptr<Resource> loadScene(std::string path, std::string /*name*/)
{
    auto scene = std::make_unique<PassSceneEffect>();
    auto stream = openStream(path);
    if (!*stream) {
        Core::consoleStream << "Scene " << path << ": no such asset; the scene stays empty\n" << std::flush;
        return scene;
    }
    scene->build(*stream, nullptr, path);
    return scene;
}

} // namespace ORV::Demo
