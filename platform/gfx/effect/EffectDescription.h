// What the effect compiler hands to the effect runtime: parameters with their
// D3DX descriptions and default values, techniques with their passes, and per
// pass the GLSL 4.50 of each stage, the vertex inputs by semantic, the uniform
// block layout, the sampler bindings and the state assignments in order.
// Plain data, no GL: the runtime links the programs, owns the buffers and
// applies the states.
//
// How the runtime uses a pass:
//  - link vertexShader.glsl and pixelShader.glsl into one program; attribute
//    locations, varying locations, the block binding and sampler bindings are
//    all explicit in the GLSL, so nothing is bound by name;
//  - bind mesh vertex elements to vertexInputs[i].location by semantic; the
//    locations are the same for every program (vertexInputLocation), so one
//    vertex array per mesh serves all passes;
//  - keep one byte buffer of uniforms.size bytes per pass (all passes of an
//    effect share one layout in practice), fill it with packUniform from each
//    parameter's default value at creation and from Set* calls, and bind it
//    as a uniform buffer at uniformBlockBinding before drawing;
//  - bind the texture of samplers[i].textureParameter (with the sampler
//    parameter's samplerStates) to texture unit samplers[i].binding;
//  - apply states in order at BeginPass;
//  - while the device's AlphaTestEnable is true after the pass states are
//    applied, draw with the pixel shader's alpha-test variant (below) and set
//    its uniforms from AlphaFunc and AlphaRef.
#pragma once

#include "platform/gfx/effect/EffectStates.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ORV::Gfx {

// D3DXPARAMETER_TYPE, the kinds an effect file declares.
enum class ParameterType : uint8_t {
    Void,
    Bool,
    Int,
    Float,
    String,
    Texture,
    Texture1D,
    Texture2D,
    Texture3D,
    TextureCube,
    Sampler,
    Sampler1D,
    Sampler2D,
    Sampler3D,
    SamplerCube
};

// D3DXPARAMETER_CLASS. A matrix is MatrixColumns unless declared row_major
// (or under #pragma pack_matrix(row_major)), as D3DX reports it; either way
// values are given to packUniform row by row.
enum class ParameterClass : uint8_t { Scalar, Vector, MatrixRows, MatrixColumns, Object, Struct };

struct SourceLocation {
    std::string file;
    int line = 0;
};

// `< string UIName = "Tint"; float UIMin = 0; >`: typeName as written, numbers
// for numeric and bool values (vectors flattened), text for strings.
struct EffectAnnotation {
    std::string typeName;
    std::string name;
    std::vector<float> numbers;
    std::string text;
};

struct SamplerStateAssignment {
    SamplerState state;
    uint32_t value;
};

struct EffectParameter {
    std::string name;
    std::string semantic; // as written, empty when none
    ParameterType type = ParameterType::Void;
    ParameterClass parameterClass = ParameterClass::Object;
    uint32_t rows = 0; // 1 for scalars and vectors, 0 for objects
    uint32_t columns = 0; // vector size; 0 for objects
    uint32_t elements = 0; // array size, 0 when not an array
    std::vector<EffectAnnotation> annotations;
    // The initialiser's values, row by row, element by element: rows * columns
    // * max(elements, 1) floats (bools as 0/1, ints exactly). Empty without an
    // initialiser: the value is then all zero.
    std::vector<float> defaultValue;
    std::string defaultText; // string parameters
    // Samplers: the texture parameter their sampler_state names (-1: none) and
    // their sampler states in the order written.
    int textureParameter = -1;
    std::vector<SamplerStateAssignment> samplerStates;
    SourceLocation location;
};

struct PassStateAssignment {
    RenderState state;
    uint32_t value; // D3D9 value space of the state
    SourceLocation location;
};

enum class ShaderStage : uint8_t { Vertex, Pixel };

struct ShaderProgram {
    std::string entryPoint; // the HLSL function (compile arguments are already bound in glsl)
    std::string profile; // "vs_2_0", "ps_3_0"
    std::string glsl; // "#version 450" GLSL core source
    SourceLocation location; // the compile statement
};

// A vertex-shader input as the mesh layer binds it: semantic without index in
// upper case ("POSITION", "TEXCOORD") and the index (TEXCOORD1 -> 1).
struct VertexInput {
    std::string semantic;
    uint32_t semanticIndex = 0;
    uint32_t location = 0;
};

enum class UniformScalar : uint8_t { Float, Int, Bool /* 32-bit 0/1 */ };

// Where one parameter lives in a pass's uniform block.
struct UniformMember {
    int parameter = -1; // index into EffectDescription::parameters
    uint32_t offset = 0; // bytes from the start of the block
    uint32_t size = 0; // bytes the member occupies
    uint32_t arrayStride = 0; // bytes between elements; 0 when not an array
    uint32_t matrixStride = 0; // bytes between the vectors of a matrix; 0 when not a matrix
    uint32_t rows = 1; // HLSL rows and columns (float4x3: 4 rows, 3 columns)
    uint32_t columns = 1;
    uint32_t elements = 0; // array size as declared, 0 when not an array
    UniformScalar scalar = UniformScalar::Float;
    // The RowMajor decoration of the SPIR-V member. glslang stores an HLSL row
    // as a SPIR-V column, so a RowMajor member keeps each HLSL *column* in one
    // matrixStride-sized vector: that is HLSL's default column_major packing.
    bool spirvRowMajor = false;
    // What the runtime writes, derived from the decoration: when true, vector j
    // of the matrix in memory holds column j of the engine's row-major matrix
    // (the engine matrix is written transposed); when false, vector i holds
    // row i. Either way HLSL M[i][j] equals the engine's m[i][j], so
    // mul(v, M) computes v * M for the row vector v, as D3D9 does.
    bool writeTransposed = false;
};

struct UniformBlockLayout {
    uint32_t size = 0; // 0 when neither stage reads a parameter
    std::vector<UniformMember> members;

    const UniformMember* find(int parameter) const;
};

// The texture unit a sampler parameter reads from in this pass.
struct SamplerBinding {
    int samplerParameter = -1;
    int textureParameter = -1; // from its sampler_state; -1 when it names none
    uint32_t binding = 0; // texture unit; the same for the sampler in every pass
};

struct EffectPass {
    std::string name; // may be empty: D3DX allows unnamed passes
    std::vector<EffectAnnotation> annotations;
    std::vector<PassStateAssignment> states; // in the order written
    ShaderProgram vertexShader;
    ShaderProgram pixelShader;
    std::vector<VertexInput> vertexInputs;
    UniformBlockLayout uniforms;
    std::vector<SamplerBinding> samplers;
    SourceLocation location;
};

struct EffectTechnique {
    std::string name;
    std::vector<EffectAnnotation> annotations;
    std::vector<EffectPass> passes;
    SourceLocation location;
};

struct EffectDescription {
    std::vector<EffectParameter> parameters;
    std::vector<EffectTechnique> techniques;

    int findParameter(std::string_view name) const; // -1 when absent
};

// The binding point of every pass's uniform block.
constexpr uint32_t uniformBlockBinding = 0;

// Alpha test is done in the fragment stage: the GLSL of every pixel shader
// that writes colour 0 has a variant, compiled with alphaTestVariantDefine
// defined right after its #version line, that ends by comparing that colour's
// alpha, scaled to 0..255 and rounded as D3D9 does, with a reference, and
// discards the fragment when the comparison fails. The plain variant has no
// such tail: a shader that may discard costs the software rasteriser its
// early depth test and whole-tile writes. Two plain uniforms at fixed
// locations drive the test:
//  - alphaTestFuncLocation (int): the D3D9 Cmp value of AlphaFunc while
//    AlphaTestEnable is true, 0 while it is false (0, the value a freshly
//    linked program has, turns the test off);
//  - alphaTestRefLocation (int): AlphaRef, 0..255.
constexpr const char* alphaTestVariantDefine = "ORV_ALPHA_TEST";
constexpr int alphaTestFuncLocation = 0;
constexpr int alphaTestRefLocation = 1;

// Attribute location of a vertex semantic: fixed for all programs (POSITION0
// 0, NORMAL0 1, TANGENT0 2, BINORMAL0 3, COLOR0 4, COLOR1 5, BLENDWEIGHT0 6,
// BLENDINDICES0 7, TEXCOORD0..7 8..15); -1 for any other semantic.
int vertexInputLocation(std::string_view semantic, uint32_t index);

// Writes values (row by row, element by element, as EffectParameter's
// defaultValue) of the member's parameter into a block buffer of the layout's
// size, converting to the member's scalar type and placing matrices as
// writeTransposed says. Writes at most the member's elements and stops at the
// end of values; bytes outside the member are untouched.
void packUniform(const UniformMember& member, std::span<const float> values, std::span<std::byte> block);

} // namespace ORV::Gfx
