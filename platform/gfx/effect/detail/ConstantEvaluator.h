// Constant expressions of an effect (parameter initialisers, array sizes,
// annotation values) evaluated to plain numbers, and the numeric HLSL type
// names they may use as constructors. What a value means (a count, a default
// to broadcast, a bool) is left to the parser.
#pragma once

#include "platform/gfx/effect/EffectDescription.h"
#include "platform/gfx/effect/detail/EffectLexer.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace ORV::Gfx::detail {

// Scalars and vectors alike: a flat list of components.
using ConstantValue = std::vector<float>;

struct NumericType {
    ParameterType type = ParameterType::Void;
    uint32_t rows = 0;
    uint32_t columns = 0;
    bool isMatrix = false;
};

// float, float3, float4x3, half2, int, uint, dword, bool4, double, min16float,
// vector, matrix, vector<float, N>, matrix<float, R, C>: the type the tokens
// name, or nothing when they name no numeric type. A scalar is 1x1, a vector
// 1xN.
std::optional<NumericType> numericType(const std::vector<Token>& typeTokens);

// Evaluates the expression that starts at tokens[at] and advances at past it;
// the caller checks that at reached the end of what it meant to be constant.
// Understood: numbers (with the f, h, l, u suffixes, hexadecimal integers),
// true and false, { lists }, constructors such as float4(...), unary and
// binary + - * /, parentheses. Vectors combine component-wise, scalars
// broadcast; lists and constructors flatten. False when the expression is not
// constant or malformed, and when it nests deeper than the evaluator's
// recursion bound (which keeps a hostile source off the end of the stack).
bool evaluateConstant(const std::vector<Token>& tokens, size_t& at, ConstantValue& out);

} // namespace ORV::Gfx::detail
