#include "resources/Semantics.h"

#include "core/Ascii.h"
#include "display/Display.h"
#include "resources/Shader.h"

#include <algorithm>
#include <map>
#include <string_view>

namespace ORV::Demo {

namespace {

using SemanticTable = std::map<std::string, SemanticSetter, Core::LessIgnoringCase>;

// Function-local so that it exists before any static initialiser registers.
SemanticTable& semanticTable()
{
    static SemanticTable table;
    return table;
}

// Counts the changes of the table, starting at 1, so that a shader knows when
// the setters it found for its parameters may be stale.
std::uint64_t tableVersion = 1;

void setMatrix(Shader& shader, Gfx::ParameterHandle parameter, const Core::Matrix& m)
{
    shader.effect()->setMatrix(parameter, m);
}

void setInverse(Shader& shader, Gfx::ParameterHandle parameter, Core::Matrix m)
{
    Core::invertMatrix(m); // a matrix that cannot be inverted is set as it is
    setMatrix(shader, parameter, m);
}

void setPoint(Shader& shader, Gfx::ParameterHandle parameter, Core::Vector3 v)
{
    shader.effect()->setVector(parameter, {v.x, v.y, v.z, 1.0f});
}

// A setter from a function of the display's copies. Without a display (a tool
// compiling effects) the parameter is left alone.
template <auto Value> void displaySetter(Shader& shader, Gfx::ParameterHandle parameter)
{
    if (const Display* d = Display::instance()) Value(shader, parameter, *d);
}

} // namespace

void registerBuiltInSemantics()
{
    using P = Gfx::ParameterHandle;
    using D = const Display&;
    const SemanticSetter world = displaySetter<[](Shader& s, P p, D d) { setMatrix(s, p, d.world()); }>;
    const SemanticSetter view = displaySetter<[](Shader& s, P p, D d) { setMatrix(s, p, d.view()); }>;
    const SemanticSetter worldView = displaySetter<[](Shader& s, P p, D d) { setMatrix(s, p, d.world() * d.view()); }>;
    const SemanticSetter projection = displaySetter<[](Shader& s, P p, D d) { setMatrix(s, p, d.projection()); }>;
    const SemanticSetter viewProjection =
        displaySetter<[](Shader& s, P p, D d) { setMatrix(s, p, d.view() * d.projection()); }>;
    const SemanticSetter worldViewProjection =
        displaySetter<[](Shader& s, P p, D d) { setMatrix(s, p, d.world() * d.view() * d.projection()); }>;

    registerSemantic("World", world);
    registerSemantic("WorldI", displaySetter<[](Shader& s, P p, D d) { setInverse(s, p, d.world()); }>);
    registerSemantic("View", view);
    registerSemantic("ViewI", displaySetter<[](Shader& s, P p, D d) { setInverse(s, p, d.view()); }>);
    // "WorldViewI", "ProjI" and "ProjectionI" are set with the matrix itself,
    // not an inverse: the effects written for this engine rely on those values.
    registerSemantic("WorldView", worldView);
    registerSemantic("WorldViewI", worldView);
    registerSemantic("Proj", projection);
    registerSemantic("ProjI", projection);
    registerSemantic("Projection", projection);
    registerSemantic("ProjectionI", projection);
    registerSemantic("ViewProj", viewProjection);
    registerSemantic("ViewProjI",
                     displaySetter<[](Shader& s, P p, D d) { setInverse(s, p, d.view() * d.projection()); }>);
    registerSemantic("WorldViewProj", worldViewProjection);
    registerSemantic(
        "WorldViewProjI",
        displaySetter<[](Shader& s, P p, D d) { setInverse(s, p, d.world() * d.view() * d.projection()); }>);
    registerSemantic("WorldCameraPosition",
                     displaySetter<[](Shader& s, P p, D d) { setPoint(s, p, d.cameraPosition()); }>);
    registerSemantic("WorldCameraRight", displaySetter<[](Shader& s, P p, D d) { setPoint(s, p, d.cameraRight()); }>);
    registerSemantic("WorldCameraUp", displaySetter<[](Shader& s, P p, D d) { setPoint(s, p, d.cameraUp()); }>);
    registerSemantic("WorldCameraFront", displaySetter<[](Shader& s, P p, D d) { setPoint(s, p, d.cameraFront()); }>);
}

void registerSemantic(const std::string& semantic, SemanticSetter setter)
{
    // Every Shader construction registers the built-in table again; an entry
    // that stays as it was is no change.
    SemanticSetter& entry = semanticTable()[semantic];
    if (entry == setter) return;
    entry = setter;
    ++tableVersion;
}

SemanticSetter findSemantic(std::string_view semantic)
{
    const SemanticTable& table = semanticTable();
    const auto it = table.find(semantic);
    return it == table.end() ? nullptr : it->second;
}

std::uint64_t semanticTableVersion()
{
    return tableVersion;
}

} // namespace ORV::Demo
