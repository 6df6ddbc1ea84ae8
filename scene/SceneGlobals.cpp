#include "scene/SceneGlobals.h"

#include "resources/Semantics.h"
#include "resources/Shader.h"

namespace ORV::Demo {

namespace {

template <Core::Vector3 SceneGlobals::*Value> void setPoint(Shader& shader, Gfx::ParameterHandle parameter)
{
    const Core::Vector3& v = sceneGlobals().*Value;
    shader.effect()->setVector(parameter, {v.x, v.y, v.z, 1.0f});
}

template <float SceneGlobals::*Value> void setScalar(Shader& shader, Gfx::ParameterHandle parameter)
{
    shader.effect()->setFloat(parameter, sceneGlobals().*Value);
}

} // namespace

SceneGlobals& sceneGlobals()
{
    static SceneGlobals values;
    return values;
}

void registerSceneGlobals()
{
    registerSemantic("AMBIENT", setPoint<&SceneGlobals::ambientColor>);
    registerSemantic("LIGHTPOSITION", setPoint<&SceneGlobals::lightPosition>);
    registerSemantic("LIGHTCOLOR", setPoint<&SceneGlobals::lightColor>);
    registerSemantic("LIGHTRADIUS", setScalar<&SceneGlobals::lightRadius>);
    registerSemantic("FXCUT", setScalar<&SceneGlobals::fxCut>);
    registerSemantic("FXDARK", setScalar<&SceneGlobals::fxDark>);
    registerSemantic("FXLIGHT", setScalar<&SceneGlobals::fxLight>);
}

} // namespace ORV::Demo
