// A loaded scene file as a drawable Effect: its models, materials, lights,
// animations and named cameras (SceneEffect), the per-render-pass drawing the
// demo uses (PassSceneEffect) and the registry loader for ".orv3d" files.
// Reading the file is scene/SceneFile.h's; turning records into models and
// materials is scene/SceneAssembly.h's; the camera and world matrices reach
// the effects through the Display.
//
// Threading: main thread only.
#pragma once

#include "core/Transform.h"
#include "display/Camera.h"
#include "resources/Resource.h"
#include "scene/Animation.h"

#include <cstdint>
#include <istream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ORV::Demo {

class Material;
class Model;
struct MaterialRecord;
struct NodeRecord;

// The world matrix of a pose, for row vectors: U' K U R F T, where U is the
// rotation of the scale orientation and U' that of its inverse, K the scale,
// R the rotation, F the sign on all three axes and T the translation.
// Quaternions are used as they are, not normalised.
Core::Matrix nodeMatrix(const Core::Transform& transform);

// The inverse of a quaternion: the conjugate divided by the squared length;
// the identity for a quaternion of length 0 (or not a number).
Core::Quaternion inverseQuaternion(const Core::Quaternion& q);

class SceneEffect : public Effect {
public:
    struct Node {
        std::string name;
        std::int32_t groupIndex = 0;
        std::int32_t materialIndex = 0;
        std::int32_t transformAnimation = 0;
        Core::Transform transform; // the pose of the last update; identity before
        bool drawable = true; // false when the group or material index names nothing
    };
    struct ModelGroup {
        std::vector<Model*> models; // one per mesh part, owned by the scene
        std::vector<std::int32_t> materialSlots; // the parts' material slots, same length
    };
    struct MaterialEntry {
        std::string name;
        std::int32_t subMaterialCount = 0;
        std::vector<std::int32_t> subMaterials; // only its length matters to drawing
        Material* material = nullptr; // none for a multi-material
    };
    struct Light {
        std::int32_t positionAnimation = 0;
        std::int32_t colourAnimation = 0;
        std::int32_t radiusAnimation = 0;
        Core::Vector3 position; // the values of the last update; 0 before
        Core::Vector3 colour;
        float radius = 0.0f;
    };
    struct CameraBinding {
        std::int32_t transformAnimation = 0;
        std::int32_t fieldOfViewAnimation = 0;
    };

    SceneEffect();
    ~SceneEffect() override;

    // Builds the scene from a scene file read from in. defaultMaterial (not
    // owned) is what this class's createMaterial gives every plain material.
    // A file with a bad header gives an empty scene. Records whose indices name
    // what the file lacks are kept but not drawn or animated (see Node,
    // update), and one warning naming the first of them goes to the console.
    // sourceName names the file in messages.
    void build(std::istream& in, Material* defaultMaterial, const std::string& sourceName = "scene");

    // Evaluates the animations at time (seconds of scene time): node poses,
    // light values, and a camera for every binding. elapsed is not used.
    void update(float elapsed, float time) override;
    // Draws every drawable node through the current camera; nothing before the
    // first update or when the current camera has no binding.
    void render(Effect* parent) override;
    void postRender(Effect*) override {}

    // Makes name the current camera if the scene has a binding of that name.
    void selectCamera(const std::string& name);

    const std::vector<Node>& nodes() const { return nodes_; }
    const std::vector<ModelGroup>& modelGroups() const { return modelGroups_; }
    const std::vector<MaterialEntry>& materials() const { return materials_; }
    const std::vector<Light>& lights() const { return lights_; }
    const std::map<std::string, CameraBinding>& cameraBindings() const { return cameraBindings_; }
    const std::map<std::string, Camera>& cameras() const { return cameras_; }
    const std::string& currentCamera() const { return currentCamera_; }
    const std::vector<Core::Animation>& animations() const { return animations_; }

protected:
    // The material of a plain material record; called once per such record,
    // in file order, by build. Returns defaultMaterial here.
    virtual Material* createMaterial(const MaterialRecord& record);
    // Draws one node: its world matrix, then its group with its material.
    virtual void renderNode(const Node& node);
    // Draws the models of a group with currentMaterialEntry_.
    virtual void renderGroup(const ModelGroup& group);

    // Keeps a material made by createMaterial for the scene's lifetime.
    Material* adoptMaterial(std::unique_ptr<Material> material);

    const MaterialEntry* currentMaterialEntry_ = nullptr; // chosen by renderNode for renderGroup

private:
    // The animation at index, or null when the index names none.
    const Core::Animation* animationAt(std::int32_t index) const;

    Material* defaultMaterial_ = nullptr;
    std::vector<Node> nodes_;
    std::vector<ModelGroup> modelGroups_;
    std::vector<Core::Animation> animations_;
    std::vector<MaterialEntry> materials_;
    std::vector<Light> lights_;
    std::map<std::string, CameraBinding> cameraBindings_;
    std::map<std::string, Camera> cameras_;
    std::string currentCamera_;

    // What the lists point to, owned for the scene's lifetime.
    std::vector<std::unique_ptr<Model>> ownedModels_;
    std::vector<std::unique_ptr<Material>> ownedMaterials_;
    std::vector<std::unique_ptr<Core::AnimationTrack>> tracks_;
};

// The scene the demo loads: materials built from their records, and drawing
// by render pass: once in the ambient, depth-distance and emissive passes,
// once per light in the shade pass (each light published to the effects
// through the scene-global light values first), nothing in any other pass.
class PassSceneEffect : public SceneEffect {
public:
    void render(Effect* parent) override;

protected:
    Material* createMaterial(const MaterialRecord& record) override;
};

// The registry loader for scene files: a PassSceneEffect built from the file
// at path (an empty scene when it can't be read).
std::unique_ptr<Resource> loadScene(std::string path, std::string name);

} // namespace ORV::Demo
