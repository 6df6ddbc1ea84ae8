#include "resources/Shader.h"

#include "console/Console.h"
#include "display/Display.h"
#include "resources/FileSystem.h"

#include <cmath>
#include <iterator>
#include <map>
#include <string_view>

namespace ORV::Demo {

namespace {

// ASCII lower-case comparison; a name that is a prefix of another orders first.
// Transparent, so that lookups by string_view allocate nothing.
struct CaseInsensitiveLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const
    {
        const size_t n = std::min(a.size(), b.size());
        for (size_t i = 0; i < n; ++i) {
            const auto ca = static_cast<unsigned char>(a[i] >= 'A' && a[i] <= 'Z' ? a[i] + 32 : a[i]);
            const auto cb = static_cast<unsigned char>(b[i] >= 'A' && b[i] <= 'Z' ? b[i] + 32 : b[i]);
            if (ca != cb) return ca < cb;
        }
        return a.size() < b.size();
    }
};

using SemanticTable = std::map<std::string, SemanticSetter, CaseInsensitiveLess>;

// Function-local so that it exists before any static initialiser registers.
SemanticTable& semanticTable()
{
    static SemanticTable table;
    return table;
}

// Counts the changes of the table, starting at 1, so that a shader knows when
// the setters it found for its parameters may be stale.
std::uint64_t semanticTableVersion = 1;

EffectFailureHandler effectFailureHandler = nullptr;

const Gfx::EffectDefine demoEffectDefines[] = {{"TELM", ""}, {"TELM_VER", "100"}};

void setMatrix(Shader& shader, Gfx::ParameterHandle parameter, const Core::Matrix& m)
{
    shader.effect()->setMatrix(parameter, m);
}

void setInverse(Shader& shader, Gfx::ParameterHandle parameter, Core::Matrix m)
{
    invertMatrix(m); // a matrix that cannot be inverted is set as it is
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

void registerBuiltInSemantics()
{
    using P = Gfx::ParameterHandle;
    using D = const Display&;
    const SemanticSetter world = displaySetter<[](Shader& s, P p, D d) { setMatrix(s, p, d.world()); }>;
    const SemanticSetter view = displaySetter<[](Shader& s, P p, D d) { setMatrix(s, p, d.view()); }>;
    const SemanticSetter worldView =
        displaySetter<[](Shader& s, P p, D d) { setMatrix(s, p, d.world() * d.view()); }>;
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
    registerSemantic("WorldViewProjI", displaySetter<[](Shader& s, P p, D d) {
                         setInverse(s, p, d.world() * d.view() * d.projection());
                     }>);
    registerSemantic("WorldCameraPosition",
                     displaySetter<[](Shader& s, P p, D d) { setPoint(s, p, d.cameraPosition()); }>);
    registerSemantic("WorldCameraRight", displaySetter<[](Shader& s, P p, D d) { setPoint(s, p, d.cameraRight()); }>);
    registerSemantic("WorldCameraUp", displaySetter<[](Shader& s, P p, D d) { setPoint(s, p, d.cameraUp()); }>);
    registerSemantic("WorldCameraFront", displaySetter<[](Shader& s, P p, D d) { setPoint(s, p, d.cameraFront()); }>);
}

std::string readAll(std::istream& in)
{
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

std::span<const Gfx::EffectDefine> effectDefines() { return demoEffectDefines; }

void registerSemantic(const std::string& semantic, SemanticSetter setter)
{
    // Every Shader construction registers the built-in table again; an entry
    // that stays as it was is no change.
    SemanticSetter& entry = semanticTable()[semantic];
    if (entry == setter) return;
    entry = setter;
    ++semanticTableVersion;
}

SemanticSetter findSemantic(std::string_view semantic)
{
    const SemanticTable& table = semanticTable();
    const auto it = table.find(semantic);
    return it == table.end() ? nullptr : it->second;
}

void setEffectFailureHandler(EffectFailureHandler handler) { effectFailureHandler = handler; }

Shader::Shader() { registerBuiltInSemantics(); }

Shader::~Shader() = default;

void Shader::compile(std::istream& in, const std::string& sourceName)
{
    const std::string source = readAll(in);
    automaticTableVersion_ = 0; // the parameters found belong to the effect being replaced
    Core::consoleStream << "Compiling effect\n" << std::flush;
    EffectIncludes includes;
    std::string messages;
    if (Display::hasDevice())
        effect_ = Gfx::Effect::create(Display::device(), source, sourceName, effectDefines(), includes, &messages);
    else
        messages = sourceName + ":0: error: no graphics device to create the effect on";
    if (!messages.empty()) Core::consoleStream << messages << "\n" << std::flush;
    if (!effect_) {
        if (effectFailureHandler)
            effectFailureHandler(sourceName);
        else
            Core::consoleStream << "Effect " << sourceName << " does not compile; the shader has no effect\n"
                                << std::flush;
        return;
    }
    technique_ = effect_->findNextValidTechnique();
}

void Shader::findAutomaticParameters()
{
    automatic_.clear();
    const Gfx::Effect& e = *effect_;
    const uint32_t count = e.desc().parameters;
    for (uint32_t i = 0; i < count; ++i) {
        const Gfx::ParameterHandle parameter = e.parameter(i);
        const Gfx::ParameterDesc desc = e.parameterDesc(parameter);
        if (desc.semantic.empty()) continue;
        if (SemanticSetter setter = findSemantic(desc.semantic)) automatic_.push_back({parameter, setter});
    }
    automaticTableVersion_ = semanticTableVersion;
}

uint32_t Shader::begin()
{
    if (!effect_) return 0;
    effect_->setTechnique(technique_);
    if (automaticTableVersion_ != semanticTableVersion) findAutomaticParameters();
    for (const AutomaticParameter& automatic : automatic_) automatic.setter(*this, automatic.parameter);
    return effect_->begin(0);
}

std::unique_ptr<Resource> loadShader(std::string path, std::string /*name*/)
{
    auto shader = std::make_unique<Shader>();
    auto stream = openStream(path);
    shader->compile(*stream, path);
    return shader;
}

std::optional<std::string> EffectIncludes::open(const std::string& name)
{
    auto stream = openStream(name);
    if (!stream || !*stream) return std::nullopt;
    return readAll(*stream);
}

namespace {
// The determinant of the 3 x 3 matrix left when row `row` and column `column`
// are removed.
float minor3(const Core::Matrix& m, int row, int column)
{
    float a[3][3];
    for (int r = 0, i = 0; r < 4; ++r) {
        if (r == row) continue;
        for (int c = 0, j = 0; c < 4; ++c) {
            if (c == column) continue;
            a[i][j++] = m.m[r][c];
        }
        ++i;
    }
    return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
           a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
}
} // namespace

bool invertMatrix(Core::Matrix& m)
{
    float det = 0.0f;
    for (int j = 0; j < 4; ++j) det += m.m[0][j] * ((j % 2) ? -1.0f : 1.0f) * minor3(m, 0, j);
    if (std::fabs(det) < 0.0005f) return false;
    Core::Matrix result;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) result.m[j][i] = (((i + j) % 2) ? -1.0f : 1.0f) * minor3(m, i, j) / det;
    m = result;
    return true;
}

} // namespace ORV::Demo
