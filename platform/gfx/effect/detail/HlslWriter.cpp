#include "platform/gfx/effect/detail/HlslWriter.h"

#include <algorithm>
#include <map>
#include <set>

namespace ORV::Gfx::detail {
namespace {

// Appends one token, preceded by the newlines or the #line directive that keep
// it on the line it was written on, so that glslang's messages point there.
void emitToken(std::string& out, const Token& t, const std::vector<std::string>& files, int& file, int& line)
{
    if (t.kind == TokenKind::Directive) {
        out += "\n#line " + std::to_string(t.line) + " \"" + files[size_t(t.file)] + "\"\n" + t.text + "\n";
        file = t.file;
        line = t.line + 1;
        return;
    }
    if (t.file != file || t.line < line || t.line > line + 16) {
        out += "\n#line " + std::to_string(t.line) + " \"" + files[size_t(t.file)] + "\"\n";
        file = t.file;
        line = t.line;
    } else {
        while (line < t.line) {
            out += '\n';
            ++line;
        }
    }
    if (t.spaceBefore) out += ' ';
    out += t.text;
}

} // namespace

bool makeEntryWrapper(const ParsedEffect& effect, const ParsedShader& shader, const std::string& wrapperName,
                      HlslChunk& wrapper, std::string& error)
{
    auto isUniform = [](const std::vector<Token>& parameter) {
        return std::any_of(parameter.begin(), parameter.end(), [](const Token& t) { return isWord(t, "uniform"); });
    };
    const HlslChunk* function = nullptr;
    for (const HlslChunk& chunk : effect.chunks) {
        if (chunk.functionName != shader.entryPoint || chunk.tokens.empty() || !isPunct(chunk.tokens.back(), '}'))
            continue;
        size_t uniforms = size_t(std::count_if(chunk.parameters.begin(), chunk.parameters.end(), isUniform));
        if (uniforms == shader.arguments.size()) {
            function = &chunk;
            break;
        }
    }
    if (!function) {
        error = "no definition of '" + shader.entryPoint + "' has " + std::to_string(shader.arguments.size())
                + " uniform parameters for the compile arguments";
        return false;
    }
    // Where the compile statement is, for the tokens made here.
    Token at;
    at.kind = TokenKind::Identifier;
    at.file = 0;
    for (size_t i = 0; i < effect.files.size(); ++i)
        if (effect.files[i] == shader.location.file) at.file = int(i);
    at.line = shader.location.line;
    auto add = [&](std::string text, TokenKind kind = TokenKind::Identifier) {
        wrapper.tokens.push_back(synthesized(at, std::move(text), kind));
    };
    bool returns = !(function->returnType.size() == 1 && function->returnType[0].text == "void");
    for (const Token& t : function->returnType) wrapper.tokens.push_back(synthesized(at, t.text, t.kind));
    add(wrapperName);
    add("(", TokenKind::Punct);
    std::vector<std::string> callArguments;
    size_t nextArgument = 0;
    bool first = true;
    for (const std::vector<Token>& parameter : function->parameters) {
        if (isUniform(parameter)) {
            std::string text;
            for (const Token& t : shader.arguments[nextArgument]) text += (text.empty() ? "" : " ") + t.text;
            callArguments.push_back("(" + text + ")");
            ++nextArgument;
            continue;
        }
        // The parameter's name: the last identifier before its semantic,
        // array size or default value.
        std::string name;
        for (const Token& t : parameter) {
            if (isPunct(t, ':') || isPunct(t, '[') || isPunct(t, '=')) break;
            if (t.kind == TokenKind::Identifier) name = t.text;
        }
        if (!first) add(",", TokenKind::Punct);
        first = false;
        for (const Token& t : parameter) wrapper.tokens.push_back(synthesized(at, t.text, t.kind));
        callArguments.push_back(name);
    }
    add(")", TokenKind::Punct);
    for (const Token& t : function->returnSemantic) wrapper.tokens.push_back(synthesized(at, t.text, t.kind));
    add("{", TokenKind::Punct);
    if (returns) add("return");
    add(shader.entryPoint);
    add("(", TokenKind::Punct);
    for (size_t i = 0; i < callArguments.size(); ++i) {
        if (i > 0) add(",", TokenKind::Punct);
        add(callArguments[i]);
    }
    add(")", TokenKind::Punct);
    add(";", TokenKind::Punct);
    add("}", TokenKind::Punct);
    wrapper.functionName = wrapperName;
    wrapper.identifiers = {shader.entryPoint};
    return true;
}

std::string writeHlsl(const ParsedEffect& effect, const std::string& entryPoint, const HlslChunk* extra)
{
    // Functions reachable from the entry point, by name (all overloads). Only
    // those are handed to glslang, as the effect compiler compiles each shader
    // from its own call tree: a pixel-only intrinsic in a function that only
    // pixel shaders call must not fail the vertex shader.
    std::set<std::string> reachable;
    std::vector<std::string> work{entryPoint};
    std::multimap<std::string, const HlslChunk*> functions;
    for (const HlslChunk& chunk : effect.chunks)
        if (!chunk.functionName.empty()) functions.emplace(chunk.functionName, &chunk);
    if (extra) functions.emplace(extra->functionName, extra);
    // Initialisers of static globals may call functions too.
    for (const HlslChunk& chunk : effect.chunks)
        if (chunk.functionName.empty())
            for (const Token& t : chunk.tokens)
                if (t.kind == TokenKind::Identifier && functions.count(t.text)) work.push_back(t.text);
    while (!work.empty()) {
        std::string name = std::move(work.back());
        work.pop_back();
        if (!reachable.insert(name).second) continue;
        auto [begin, end] = functions.equal_range(name);
        for (auto it = begin; it != end; ++it)
            for (const std::string& id : it->second->identifiers)
                if (functions.count(id) && !reachable.count(id)) work.push_back(id);
    }
    std::string out;
    int file = -1;
    int line = 0;
    for (const HlslChunk& chunk : effect.chunks) {
        if (!chunk.functionName.empty() && !reachable.count(chunk.functionName)) continue;
        for (const Token& t : chunk.tokens) emitToken(out, t, effect.files, file, line);
    }
    if (extra)
        for (const Token& t : extra->tokens) emitToken(out, t, effect.files, file, line);
    out += '\n';
    return out;
}

} // namespace ORV::Gfx::detail
