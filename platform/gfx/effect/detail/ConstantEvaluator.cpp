#include "platform/gfx/effect/detail/ConstantEvaluator.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace ORV::Gfx::detail {
namespace {

// The scalar type a numeric type name is built on: float, half, double,
// min16float, int, uint, dword or bool.
bool scalarBase(std::string_view name, ParameterType& type)
{
    static const std::pair<const char*, ParameterType> bases[] = {
        {"float", ParameterType::Float},      {"half", ParameterType::Float}, {"double", ParameterType::Float},
        {"min16float", ParameterType::Float}, {"int", ParameterType::Int},    {"uint", ParameterType::Int},
        {"dword", ParameterType::Int},        {"bool", ParameterType::Bool}};
    for (const auto& [base, t] : bases)
        if (name == base) {
            type = t;
            return true;
        }
    return false;
}

// The grammar, one function per precedence level; depth bounds the recursion
// so that a hostile source ("((((...") cannot exhaust the stack.
bool sum(const std::vector<Token>& e, size_t& at, ConstantValue& out, int depth);

bool combine(ConstantValue& left, const ConstantValue& right, char op)
{
    if (left.size() != right.size() && left.size() != 1 && right.size() != 1) return false;
    size_t n = std::max(left.size(), right.size());
    ConstantValue result(n);
    for (size_t i = 0; i < n; ++i) {
        float a = left[left.size() == 1 ? 0 : i];
        float b = right[right.size() == 1 ? 0 : i];
        result[i] = op == '+' ? a + b : op == '-' ? a - b : op == '*' ? a * b : a / b;
    }
    left = std::move(result);
    return true;
}

// Items separated by ',' up to the close bracket, flattened into out.
bool list(const std::vector<Token>& e, size_t& at, ConstantValue& out, int depth, char close)
{
    while (true) {
        if (at < e.size() && isPunct(e[at], close)) { // trailing comma or empty list
            ++at;
            return true;
        }
        ConstantValue item;
        if (!sum(e, at, item, depth)) return false;
        out.insert(out.end(), item.begin(), item.end());
        if (at < e.size() && isPunct(e[at], ',')) {
            ++at;
            continue;
        }
        if (at < e.size() && isPunct(e[at], close)) {
            ++at;
            return true;
        }
        return false;
    }
}

bool primary(const std::vector<Token>& e, size_t& at, ConstantValue& out, int depth)
{
    if (depth > 64 || at >= e.size()) return false;
    const Token& t = e[at];
    if (t.kind == TokenKind::Number) {
        ++at;
        std::string text = t.text;
        // A hexadecimal integer takes only the integer suffixes: its F is a digit.
        const bool hexadecimal = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        while (!text.empty() && std::strchr(hexadecimal ? "lLuU" : "fFhHlLuU", text.back())) text.pop_back();
        double value = 0.0;
        const char* first = text.data();
        const char* last = text.data() + text.size();
        std::from_chars_result parsed;
        if (hexadecimal) {
            unsigned long long integer = 0;
            parsed = std::from_chars(first + 2, last, integer, 16);
            value = double(integer);
        } else {
            parsed = std::from_chars(first, last, value);
        }
        if (parsed.ec != std::errc() || parsed.ptr != last) return false;
        out = {float(value)};
        return true;
    }
    if (isWord(t, "true") || isWord(t, "false")) {
        ++at;
        out = {isWord(t, "true") ? 1.0f : 0.0f};
        return true;
    }
    if (isPunct(t, '{')) {
        ++at;
        out.clear();
        return list(e, at, out, depth + 1, '}');
    }
    if (isPunct(t, '(')) {
        ++at;
        if (!sum(e, at, out, depth + 1) || at >= e.size() || !isPunct(e[at], ')')) return false;
        ++at;
        return true;
    }
    if (t.kind == TokenKind::Identifier && at + 1 < e.size() && isPunct(e[at + 1], '(') && numericType({t})) {
        at += 2;
        out.clear();
        return list(e, at, out, depth + 1, ')');
    }
    return false;
}

bool unary(const std::vector<Token>& e, size_t& at, ConstantValue& out, int depth)
{
    if (depth > 64 || at >= e.size()) return false;
    if (isPunct(e[at], '-') || isPunct(e[at], '+')) {
        bool negate = e[at++].text[0] == '-';
        if (!unary(e, at, out, depth + 1)) return false;
        if (negate)
            for (float& v : out) v = -v;
        return true;
    }
    return primary(e, at, out, depth + 1);
}

bool product(const std::vector<Token>& e, size_t& at, ConstantValue& out, int depth)
{
    if (!unary(e, at, out, depth)) return false;
    while (at < e.size() && (isPunct(e[at], '*') || isPunct(e[at], '/'))) {
        char op = e[at++].text[0];
        ConstantValue right;
        if (!unary(e, at, right, depth) || !combine(out, right, op)) return false;
    }
    return true;
}

bool sum(const std::vector<Token>& e, size_t& at, ConstantValue& out, int depth)
{
    if (!product(e, at, out, depth)) return false;
    while (at < e.size() && (isPunct(e[at], '+') || isPunct(e[at], '-'))) {
        char op = e[at++].text[0];
        ConstantValue right;
        if (!product(e, at, right, depth) || !combine(out, right, op)) return false;
    }
    return true;
}

} // namespace

std::optional<NumericType> numericType(const std::vector<Token>& typeTokens)
{
    if (typeTokens.empty()) return std::nullopt;
    const std::string& name = typeTokens[0].text;
    NumericType info;
    if (typeTokens.size() == 1) {
        if (name == "vector") {
            info = {ParameterType::Float, 1, 4, false};
            return info;
        }
        if (name == "matrix") {
            info = {ParameterType::Float, 4, 4, true};
            return info;
        }
        // Split "float4x3" into base and dimensions.
        size_t digits = name.find_first_of("0123456789");
        std::string_view base = std::string_view(name).substr(0, digits);
        if (!scalarBase(base, info.type)) return std::nullopt;
        if (digits == std::string::npos) {
            info.rows = info.columns = 1;
            return info;
        }
        std::string_view dims = std::string_view(name).substr(digits);
        if (dims.size() == 1 && dims[0] >= '1' && dims[0] <= '4') {
            info.rows = 1;
            info.columns = uint32_t(dims[0] - '0');
            return info;
        }
        if (dims.size() == 3 && dims[1] == 'x' && dims[0] >= '1' && dims[0] <= '4' && dims[2] >= '1'
            && dims[2] <= '4') {
            info.rows = uint32_t(dims[0] - '0');
            info.columns = uint32_t(dims[2] - '0');
            info.isMatrix = true;
            return info;
        }
        return std::nullopt;
    }
    // vector < base , N >  or  matrix < base , R , C >
    std::vector<std::string> args;
    for (size_t i = 2; i + 1 < typeTokens.size(); ++i)
        if (!isPunct(typeTokens[i], ',')) args.push_back(typeTokens[i].text);
    auto dim = [](const std::string& s) -> uint32_t {
        return s.size() == 1 && s[0] >= '1' && s[0] <= '4' ? uint32_t(s[0] - '0') : 0;
    };
    if (name == "vector" && args.size() == 2 && scalarBase(args[0], info.type) && dim(args[1])) {
        info.rows = 1;
        info.columns = dim(args[1]);
        return info;
    }
    if (name == "matrix" && args.size() == 3 && scalarBase(args[0], info.type) && dim(args[1]) && dim(args[2])) {
        info.rows = dim(args[1]);
        info.columns = dim(args[2]);
        info.isMatrix = true;
        return info;
    }
    return std::nullopt;
}

bool evaluateConstant(const std::vector<Token>& e, size_t& at, ConstantValue& out)
{
    return sum(e, at, out, 0);
}

} // namespace ORV::Gfx::detail
