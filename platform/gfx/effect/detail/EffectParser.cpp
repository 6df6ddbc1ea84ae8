#include "platform/gfx/effect/detail/EffectParser.h"

#include "core/Ascii.h"
#include "platform/gfx/effect/detail/ConstantEvaluator.h"

#include <algorithm>
#include <set>
#include <unordered_map>

namespace ORV::Gfx::detail {
namespace {

using Core::equalsIgnoringCase;

bool isWordNoCase(const Token& t, std::string_view word)
{
    return t.kind == TokenKind::Identifier && equalsIgnoringCase(t.text, word);
}

std::optional<ParameterType> objectType(std::string_view name)
{
    static const std::pair<const char*, ParameterType> objects[] = {{"texture", ParameterType::Texture},
                                                                    {"texture1D", ParameterType::Texture1D},
                                                                    {"texture2D", ParameterType::Texture2D},
                                                                    {"texture3D", ParameterType::Texture3D},
                                                                    {"textureCUBE", ParameterType::TextureCube},
                                                                    {"sampler", ParameterType::Sampler},
                                                                    {"sampler1D", ParameterType::Sampler1D},
                                                                    {"sampler2D", ParameterType::Sampler2D},
                                                                    {"sampler3D", ParameterType::Sampler3D},
                                                                    {"samplerCUBE", ParameterType::SamplerCube},
                                                                    {"string", ParameterType::String}};
    for (const auto& [objectName, type] : objects)
        if (equalsIgnoringCase(name, objectName)) return type;
    return std::nullopt;
}

bool isTexture(ParameterType t)
{
    return t >= ParameterType::Texture && t <= ParameterType::TextureCube;
}

bool isSampler(ParameterType t)
{
    return t >= ParameterType::Sampler && t <= ParameterType::SamplerCube;
}

bool isModifier(const Token& t)
{
    static const char* modifiers[] = {"static",   "uniform",   "extern",       "shared", "const",
                                      "volatile", "row_major", "column_major", "inline", "precise"};
    if (t.kind != TokenKind::Identifier) return false;
    for (const char* m : modifiers)
        if (t.text == m) return true;
    return false;
}

class Parser {
public:
    Parser(const LexedEffect& lexed, ParsedEffect& effect, std::string& messages)
        : tokens_(lexed.tokens), files_(lexed.files), effect_(effect), messages_(messages)
    {}

    bool run()
    {
        effect_.files = files_;
        if (!checkBrackets()) return false;
        while (peek().kind != TokenKind::End) {
            if (!topLevel()) return false;
        }
        if (unclosed_) return fail(*unclosed_, "'" + unclosed_->text + "' is never closed");
        for (const HlslChunk& chunk : effect_.chunks)
            if (!checkChunk(chunk)) return false;
        return checkTechniques();
    }

private:
    const std::vector<Token>& tokens_;
    const std::vector<std::string>& files_;
    ParsedEffect& effect_;
    std::string& messages_;
    size_t pos_ = 0;
    const Token* unclosed_ = nullptr; // innermost bracket the source leaves open
    bool rowMajorDefault_ = false;
    std::set<std::string> structNames_;
    std::set<std::string> functionNames_;
    // Index of each parameter by name, so that the check for a name declared
    // twice does not grow with the square of the parameter count.
    std::unordered_map<std::string, size_t> parameterIndex_;

    void addParameter(EffectParameter parameter)
    {
        parameterIndex_.emplace(parameter.name, effect_.parameters.size());
        effect_.parameters.push_back(std::move(parameter));
    }

    const Token& peek(size_t ahead = 0) const
    {
        size_t i = std::min(pos_ + ahead, tokens_.size() - 1);
        return tokens_[i];
    }
    const Token& next()
    {
        const Token& t = tokens_[pos_];
        if (pos_ + 1 < tokens_.size()) ++pos_;
        return t;
    }
    SourceLocation where(const Token& t) const { return {files_[size_t(t.file)], t.line}; }

    bool fail(const Token& at, const std::string& text)
    {
        messages_ += formatMessage(where(at), text);
        return false;
    }

    bool expectPunct(char c, const char* context)
    {
        if (!isPunct(peek(), c)) {
            const Token& t = peek();
            std::string found = t.kind == TokenKind::End ? "end of file" : "'" + t.text + "'";
            return fail(t, std::string("expected '") + c + "' " + context + ", found " + found);
        }
        next();
        return true;
    }

    bool expectIdentifier(std::string& name, const char* context)
    {
        if (peek().kind != TokenKind::Identifier) {
            const Token& t = peek();
            std::string found = t.kind == TokenKind::End ? "end of file" : "'" + t.text + "'";
            return fail(t, std::string("expected a name ") + context + ", found " + found);
        }
        name = next().text;
        return true;
    }

    // Brackets of every kind close in the order they opened, and nest at most
    // maxBracketNesting deep. glslang's HLSL front end descends once per level
    // (and dereferences null on some unclosed '['); this keeps its recursion
    // shallow and its input well formed in this respect.
    bool checkBrackets()
    {
        std::vector<const Token*> open;
        for (const Token& t : tokens_) {
            if (t.kind != TokenKind::Punct || t.text.size() != 1) continue;
            const char c = t.text[0];
            if (c == '(' || c == '[' || c == '{') {
                if (open.size() == size_t(maxBracketNesting))
                    return fail(t, "brackets nest deeper than " + std::to_string(maxBracketNesting) + " levels");
                open.push_back(&t);
                continue;
            }
            if (c != ')' && c != ']' && c != '}') continue;
            const char expected = open.empty()                  ? 0
                                  : open.back()->text[0] == '(' ? ')'
                                  : open.back()->text[0] == '[' ? ']'
                                                                : '}';
            if (c != expected) {
                if (open.empty()) return fail(t, std::string("'") + c + "' closes nothing");
                return fail(t, std::string("'") + c + "' where '" + expected + "' closes the '" + open.back()->text
                                   + "' of line " + std::to_string(open.back()->line));
            }
            open.pop_back();
        }
        // A bracket still open at the end is reported after the parse, whose
        // message names what it opened ("technique 't' is never closed").
        if (!open.empty()) unclosed_ = open.back();
        return true;
    }

    // What glslang is given, one declaration or function at a time: bounded in
    // length (its recursion grows with chains such as a+a+...+a or else-if
    // ladders), and without the initialiser lists it mishandles.
    bool checkChunk(const HlslChunk& chunk)
    {
        const std::vector<Token>& tokens = chunk.tokens;
        if (tokens.size() > size_t(maxChunkTokens))
            return fail(
                tokens.front(),
                (chunk.functionName.empty() ? std::string("a declaration") : "function '" + chunk.functionName + "'")
                    + " is longer than " + std::to_string(maxChunkTokens) + " tokens; split it");
        if (!chunk.functionName.empty()) {
            size_t body = 0;
            while (body < tokens.size() && !isPunct(tokens[body], '{')) ++body;
            if (body < tokens.size() && !checkLoops(tokens, body)) return false;
        }
        // An empty list inside an initialiser list ("float2 a = {1, {}};").
        int listDepth = 0;
        for (size_t i = 0; i < tokens.size(); ++i) {
            const Token& t = tokens[i];
            if (isPunct(t, '{') && (listDepth > 0 || (i > 0 && isPunct(tokens[i - 1], '=')))) {
                if (listDepth > 0 && i + 1 < tokens.size() && isPunct(tokens[i + 1], '}'))
                    return fail(t, "empty '{}' inside an initialiser list");
                ++listDepth;
            } else if (isPunct(t, '}') && listDepth > 0) {
                --listDepth;
            }
        }
        return true;
    }

    // Loops nest at most maxLoopNesting deep in a function body: the shader
    // optimiser's time and memory grow exponentially with the depth (twenty
    // nested two-step loops take 2 GB).
    bool checkLoops(const std::vector<Token>& tokens, size_t body)
    {
        LoopScan scan{tokens};
        scan.statement(body, 0);
        if (scan.tooDeep)
            return fail(*scan.tooDeep, "loops nest deeper than " + std::to_string(maxLoopNesting) + " levels");
        return true;
    }

    // Walks statements to find how loops nest, including loops whose body is
    // a single statement ("for (...) for (...) x;"). Brackets are known to be
    // balanced; anything it does not recognise ends at the next ';'.
    struct LoopScan {
        const std::vector<Token>& tokens;
        const Token* tooDeep = nullptr;

        // Past the bracket that closes the one at i.
        size_t skipBracket(size_t i) const
        {
            int depth = 0;
            for (; i < tokens.size(); ++i) {
                const Token& t = tokens[i];
                if (isPunct(t, '(') || isPunct(t, '[') || isPunct(t, '{')) ++depth;
                if ((isPunct(t, ')') || isPunct(t, ']') || isPunct(t, '}')) && --depth == 0) return i + 1;
            }
            return i;
        }

        // Past the statement that starts at i, inside `loops` loops.
        size_t statement(size_t i, int loops)
        {
            if (i >= tokens.size() || tooDeep) return tokens.size();
            const Token& t = tokens[i];
            if (isPunct(t, '{')) {
                size_t j = i + 1;
                while (j < tokens.size() && !isPunct(tokens[j], '}') && !tooDeep) j = statement(j, loops);
                return j + 1;
            }
            if (isPunct(t, '[')) return statement(skipBracket(i), loops); // [unroll], [loop], [branch]
            const bool loop = isWord(t, "for") || isWord(t, "while") || isWord(t, "do");
            if (loop && loops + 1 > maxLoopNesting) {
                tooDeep = &t;
                return tokens.size();
            }
            if (isWord(t, "do")) {
                size_t j = statement(i + 1, loops + 1);
                if (j < tokens.size() && isWord(tokens[j], "while")) ++j;
                if (j < tokens.size() && isPunct(tokens[j], '(')) j = skipBracket(j);
                return j < tokens.size() && isPunct(tokens[j], ';') ? j + 1 : j;
            }
            if (loop || isWord(t, "if") || isWord(t, "switch")) {
                size_t j = i + 1;
                if (j < tokens.size() && isPunct(tokens[j], '(')) j = skipBracket(j);
                j = statement(j, loop ? loops + 1 : loops);
                if (isWord(t, "if") && j < tokens.size() && isWord(tokens[j], "else")) j = statement(j + 1, loops);
                return j;
            }
            size_t j = i;
            while (j < tokens.size() && !isPunct(tokens[j], ';') && !isPunct(tokens[j], '}')) {
                if (isPunct(tokens[j], '(') || isPunct(tokens[j], '[') || isPunct(tokens[j], '{'))
                    j = skipBracket(j);
                else
                    ++j;
            }
            return j < tokens.size() && isPunct(tokens[j], ';') ? j + 1 : std::max(j, i + 1);
        }
    };

    // Copies tokens from the current one through the matching close bracket.
    bool takeBalanced(char open, char close, std::vector<Token>* out)
    {
        const Token& start = peek();
        int depth = 0;
        while (true) {
            const Token& t = peek();
            if (t.kind == TokenKind::End) return fail(start, std::string("'") + open + "' is never closed");
            if (out) out->push_back(t);
            next();
            if (isPunct(t, open))
                ++depth;
            else if (isPunct(t, close) && --depth == 0)
                return true;
        }
    }

    bool topLevel()
    {
        const Token& t = peek();
        if (t.kind == TokenKind::Directive) {
            noteDirective(t.text);
            effect_.chunks.push_back({{t}, {}, {}});
            next();
            return true;
        }
        if (isPunct(t, ';')) {
            next();
            return true;
        }
        if (isWordNoCase(t, "technique")) return technique();
        if (isWordNoCase(t, "technique10") || isWordNoCase(t, "technique11") || isWord(t, "cbuffer")
            || isWord(t, "tbuffer") || isWord(t, "namespace") || isWord(t, "interface") || isWord(t, "class"))
            return fail(t, "'" + t.text + "' is not supported in a Direct3D 9 effect");
        if (isWord(t, "struct")) return structDeclaration();
        if (isWord(t, "typedef")) {
            HlslChunk chunk;
            while (!isPunct(peek(), ';')) {
                if (peek().kind == TokenKind::End) return fail(t, "typedef without ';'");
                chunk.tokens.push_back(next());
            }
            chunk.tokens.push_back(next());
            effect_.chunks.push_back(std::move(chunk));
            return true;
        }
        // glslang's preprocessor hands on stray bytes as '<'.
        if (t.kind != TokenKind::Identifier) return fail(t, "unexpected '" + t.text + "' at file scope");
        return declaration();
    }

    void noteDirective(const std::string& text)
    {
        // #pragma pack_matrix(row_major) changes how later matrices are stored
        // and so how D3DX describes them (MatrixRows rather than MatrixColumns).
        if (text.find("pack_matrix") == std::string::npos) return;
        if (text.find("row_major") != std::string::npos)
            rowMajorDefault_ = true;
        else if (text.find("column_major") != std::string::npos)
            rowMajorDefault_ = false;
    }

    // Rewrites the DX9 semantics POSITION and VPOS to SV_POSITION in struct
    // members and function signatures: glslang makes SV_POSITION the clip
    // position of a vertex output, keeps it an ordinary attribute on a vertex
    // input (what POSITION means there in DX9; reflection maps it back to
    // POSITION) and the fragment coordinate on a pixel input (what VPOS means,
    // with GL's pixel centres, which our effects use).
    static void rewriteSemantics(std::vector<Token>& tokens, size_t begin, size_t end)
    {
        for (size_t i = begin + 1; i < end; ++i)
            if (isPunct(tokens[i - 1], ':') && tokens[i].kind == TokenKind::Identifier
                && (equalsIgnoringCase(tokens[i].text, "POSITION") || equalsIgnoringCase(tokens[i].text, "POSITION0")
                    || equalsIgnoringCase(tokens[i].text, "VPOS")))
                tokens[i].text = "SV_POSITION";
    }

    bool structDeclaration()
    {
        HlslChunk chunk;
        chunk.tokens.push_back(next()); // struct
        std::string name;
        if (peek().kind == TokenKind::Identifier) {
            name = peek().text;
            chunk.tokens.push_back(next());
        }
        if (!isPunct(peek(), '{')) return fail(peek(), "expected '{' after struct " + name);
        if (!takeBalanced('{', '}', &chunk.tokens)) return false;
        if (!isPunct(peek(), ';'))
            return fail(peek(), "a struct declaration must end with ';' (declaring variables with it is not "
                                "supported)");
        chunk.tokens.push_back(next());
        rewriteSemantics(chunk.tokens, 0, chunk.tokens.size());
        structNames_.insert(name);
        effect_.chunks.push_back(std::move(chunk));
        return true;
    }

    bool declaration()
    {
        size_t start = pos_;
        std::vector<Token> modifiers;
        bool isStatic = false;
        bool rowMajor = rowMajorDefault_;
        while (isModifier(peek())) {
            if (peek().text == "static") isStatic = true;
            if (peek().text == "row_major") rowMajor = true;
            if (peek().text == "column_major") rowMajor = false;
            modifiers.push_back(next());
        }
        if (isWord(peek(), "unsigned")) modifiers.push_back(next());
        std::vector<Token> typeTokens;
        if (peek().kind != TokenKind::Identifier) return fail(peek(), "expected a type, found '" + peek().text + "'");
        typeTokens.push_back(next());
        if ((typeTokens[0].text == "vector" || typeTokens[0].text == "matrix") && isPunct(peek(), '<')) {
            if (!takeBalanced('<', '>', &typeTokens)) return false;
        }
        if (peek().kind != TokenKind::Identifier)
            return fail(peek(), "expected a name after type '" + typeTokens[0].text + "', found '" + peek().text + "'");
        if (isPunct(peek(1), '(')) return function(start);
        if (isStatic) {
            // Static globals are no parameters; kept as written.
            pos_ = start;
            HlslChunk chunk;
            int depth = 0;
            while (true) {
                const Token& t = peek();
                if (t.kind == TokenKind::End) return fail(tokens_[start], "declaration without ';'");
                chunk.tokens.push_back(next());
                if (isPunct(t, '{') || isPunct(t, '(')) ++depth;
                if (isPunct(t, '}') || isPunct(t, ')')) --depth;
                if (depth == 0 && isPunct(t, ';')) break;
            }
            effect_.chunks.push_back(std::move(chunk));
            return true;
        }
        while (true) {
            if (!variable(modifiers, typeTokens, rowMajor)) return false;
            if (isPunct(peek(), ',')) {
                next();
                continue;
            }
            return expectPunct(';', "after a declaration");
        }
    }

    bool function(size_t start)
    {
        pos_ = start;
        HlslChunk chunk;
        while (!isPunct(peek(), '(')) chunk.tokens.push_back(next());
        chunk.functionName = chunk.tokens.back().text;
        for (size_t i = 0; i + 1 < chunk.tokens.size(); ++i)
            if (chunk.tokens[i].text != "static" && chunk.tokens[i].text != "inline")
                chunk.returnType.push_back(chunk.tokens[i]);
        size_t open = chunk.tokens.size();
        if (!takeBalanced('(', ')', &chunk.tokens)) return false;
        size_t close = chunk.tokens.size() - 1;
        while (!isPunct(peek(), '{') && !isPunct(peek(), ';')) {
            if (peek().kind == TokenKind::End)
                return fail(tokens_[start], "function '" + chunk.functionName + "' has no body");
            chunk.tokens.push_back(next());
        }
        size_t headerEnd = chunk.tokens.size();
        rewriteSemantics(chunk.tokens, 0, headerEnd);
        chunk.returnSemantic.assign(chunk.tokens.begin() + long(close) + 1, chunk.tokens.begin() + long(headerEnd));
        chunk.parameters = splitList(chunk.tokens, open + 1, close);
        for (const std::vector<Token>& parameter : chunk.parameters)
            if (!checkParameterArray(parameter, chunk.functionName)) return false;
        if (isPunct(peek(), ';')) {
            chunk.tokens.push_back(next());
        } else {
            if (!takeBalanced('{', '}', &chunk.tokens)) return false;
        }
        for (size_t i = 0; i < chunk.tokens.size(); ++i)
            if (chunk.tokens[i].kind == TokenKind::Identifier) chunk.identifiers.push_back(chunk.tokens[i].text);
        std::sort(chunk.identifiers.begin(), chunk.identifiers.end());
        chunk.identifiers.erase(std::unique(chunk.identifiers.begin(), chunk.identifiers.end()),
                                chunk.identifiers.end());
        functionNames_.insert(chunk.functionName);
        effect_.chunks.push_back(std::move(chunk));
        return true;
    }

    // An array size in a function's parameter list is empty, a name or a
    // constant: glslang's front end dereferences null when anything else
    // stands between '[' and ']' there.
    bool checkParameterArray(const std::vector<Token>& parameter, const std::string& function)
    {
        for (size_t i = 0; i < parameter.size(); ++i) {
            if (!isPunct(parameter[i], '[')) continue;
            size_t close = i + 1;
            int depth = 0;
            for (; close < parameter.size(); ++close) {
                if (isPunct(parameter[close], '[')) ++depth;
                if (isPunct(parameter[close], ']') && depth-- == 0) break;
            }
            std::vector<Token> size(parameter.begin() + long(i) + 1, parameter.begin() + long(close));
            ConstantValue value;
            size_t at = 0;
            const bool valid = size.empty() || (size.size() == 1 && size[0].kind == TokenKind::Identifier)
                               || (evaluateConstant(size, at, value) && at == size.size());
            if (!valid)
                return fail(parameter[i],
                            "an array size in the parameters of '" + function + "' must be a name or a constant");
            i = close;
        }
        return true;
    }

    // The comma-separated items of tokens[begin, end), commas inside brackets
    // kept. An empty range gives no items.
    static std::vector<std::vector<Token>> splitList(const std::vector<Token>& tokens, size_t begin, size_t end)
    {
        std::vector<std::vector<Token>> items;
        if (begin >= end) return items;
        items.emplace_back();
        int depth = 0;
        for (size_t i = begin; i < end; ++i) {
            const Token& t = tokens[i];
            if (isPunct(t, '(') || isPunct(t, '[') || isPunct(t, '{')) ++depth;
            if (isPunct(t, ')') || isPunct(t, ']') || isPunct(t, '}')) --depth;
            if (depth == 0 && isPunct(t, ',')) {
                items.emplace_back();
                continue;
            }
            items.back().push_back(t);
        }
        return items;
    }

    bool variable(const std::vector<Token>& modifiers, const std::vector<Token>& typeTokens, bool rowMajor)
    {
        const Token& nameToken = peek();
        EffectParameter parameter;
        if (!expectIdentifier(parameter.name, "for a variable")) return false;
        parameter.location = where(nameToken);
        if (auto other = parameterIndex_.find(parameter.name); other != parameterIndex_.end())
            return fail(nameToken, "'" + parameter.name + "' is declared twice (first at line "
                                       + std::to_string(effect_.parameters[other->second].location.line) + ")");
        std::vector<Token> dims;
        while (isPunct(peek(), '[')) {
            const Token& open = peek();
            if (!takeBalanced('[', ']', &dims)) return false;
            if (parameter.elements != 0) return fail(open, "multi-dimensional array parameters are not supported");
            ConstantValue count;
            std::vector<Token> expression(dims.begin() + 1, dims.end() - 1);
            size_t at = 0;
            if (!evaluateConstant(expression, at, count) || at != expression.size() || count.size() != 1 || count[0] < 1
                || count[0] > 65536 || count[0] != float(int(count[0])))
                return fail(open, "the array size of '" + parameter.name + "' must be a constant from 1 to 65536");
            parameter.elements = uint32_t(count[0]);
        }
        // Semantic, register binding, annotations, in any order.
        while (true) {
            if (isPunct(peek(), ':')) {
                next();
                if (isWord(peek(), "register") || isWord(peek(), "packoffset")) {
                    next();
                    if (!isPunct(peek(), '(')) return fail(peek(), "expected '(' after register");
                    if (!takeBalanced('(', ')', nullptr)) return false;
                    continue;
                }
                if (!expectIdentifier(parameter.semantic, "for the semantic")) return false;
                continue;
            }
            if (isPunct(peek(), '<')) {
                if (!annotations(parameter.annotations)) return false;
                continue;
            }
            break;
        }
        const Token& typeToken = typeTokens[0];
        std::optional<ParameterType> object = typeTokens.size() == 1 ? objectType(typeToken.text) : std::nullopt;
        if (object) {
            parameter.type = *object;
            parameter.parameterClass = ParameterClass::Object;
            if (isSampler(*object)) return samplerVariable(std::move(parameter), nameToken, dims);
            if (isPunct(peek(), '=')) {
                next();
                if (*object == ParameterType::String && peek().kind == TokenKind::String) {
                    const std::string& s = next().text;
                    parameter.defaultText = s.substr(1, s.size() >= 2 ? s.size() - 2 : 0);
                } else if (!skipInitialiser()) {
                    return false;
                }
            }
            if (parameter.elements != 0 && isTexture(*object))
                return fail(nameToken, "texture arrays are not supported");
            addParameter(std::move(parameter));
            return true;
        }
        std::optional<NumericType> info = numericType(typeTokens);
        if (!info) {
            if (structNames_.count(typeToken.text))
                return fail(typeToken, "parameter '" + parameter.name + "' has the struct type '" + typeToken.text
                                           + "'; struct parameters are not supported");
            return fail(typeToken, "unknown type '" + typeToken.text + "' for parameter '" + parameter.name + "'");
        }
        parameter.type = info->type;
        parameter.rows = info->rows;
        parameter.columns = info->columns;
        if (info->isMatrix)
            parameter.parameterClass = rowMajor ? ParameterClass::MatrixRows : ParameterClass::MatrixColumns;
        else
            parameter.parameterClass =
                info->columns == 1 && typeToken.text.find_first_of("0123456789") == std::string::npos
                    ? ParameterClass::Scalar
                    : ParameterClass::Vector;
        if (isPunct(peek(), '=')) {
            const Token& equals = next();
            if (!initialiser(parameter, equals)) return false;
        }
        // The declaration glslang sees: a uniform without semantic, annotation
        // or initialiser (the runtime writes the default value). "const" goes
        // too: a global const is still a parameter in a D3DX effect.
        HlslChunk chunk;
        for (const Token& m : modifiers)
            if (m.text == "row_major" || m.text == "column_major" || m.text == "unsigned") chunk.tokens.push_back(m);
        chunk.tokens.insert(chunk.tokens.end(), typeTokens.begin(), typeTokens.end());
        chunk.tokens.push_back(nameToken);
        chunk.tokens.insert(chunk.tokens.end(), dims.begin(), dims.end());
        chunk.tokens.push_back(synthesized(nameToken, ";", TokenKind::Punct));
        effect_.chunks.push_back(std::move(chunk));
        addParameter(std::move(parameter));
        return true;
    }

    bool skipInitialiser()
    {
        int depth = 0;
        while (true) {
            const Token& t = peek();
            if (t.kind == TokenKind::End) return fail(t, "initialiser without ';'");
            if (depth == 0 && (isPunct(t, ';') || isPunct(t, ','))) return true;
            if (isPunct(t, '{') || isPunct(t, '(')) ++depth;
            if (isPunct(t, '}') || isPunct(t, ')')) --depth;
            next();
        }
    }

    bool initialiser(EffectParameter& parameter, const Token& equals)
    {
        std::vector<Token> expression;
        size_t begin = pos_;
        if (!skipInitialiser()) return false;
        expression.assign(tokens_.begin() + long(begin), tokens_.begin() + long(pos_));
        ConstantValue value;
        size_t at = 0;
        if (expression.empty() || !evaluateConstant(expression, at, value) || at != expression.size())
            return fail(equals, "the initialiser of '" + parameter.name + "' is not a constant expression");
        size_t expected = size_t(parameter.rows) * parameter.columns * std::max<uint32_t>(parameter.elements, 1);
        if (value.size() == 1 && parameter.elements == 0) value.assign(expected, value[0]);
        if (value.size() != expected)
            return fail(equals, "the initialiser of '" + parameter.name + "' has " + std::to_string(value.size())
                                    + " values where " + std::to_string(expected) + " are needed");
        for (float& v : value) {
            if (parameter.type == ParameterType::Bool) v = v != 0.0f ? 1.0f : 0.0f;
            if (parameter.type == ParameterType::Int) v = float(long(v));
        }
        parameter.defaultValue = std::move(value);
        return true;
    }

    bool samplerVariable(EffectParameter parameter, const Token& nameToken, const std::vector<Token>& dims)
    {
        if (!dims.empty()) return fail(nameToken, "sampler arrays are not supported");
        if (isPunct(peek(), '=')) {
            next();
            if (!isWordNoCase(peek(), "sampler_state"))
                return fail(peek(), "a sampler is initialised with sampler_state { ... }");
            next();
            if (!expectPunct('{', "after sampler_state")) return false;
            while (!isPunct(peek(), '}')) {
                if (!samplerAssignment(parameter)) return false;
            }
            next();
        }
        // A plain sampler takes its dimension from the texture it samples.
        std::string type = "sampler2D";
        switch (parameter.type) {
        case ParameterType::Sampler1D: type = "sampler1D"; break;
        case ParameterType::Sampler3D: type = "sampler3D"; break;
        case ParameterType::SamplerCube: type = "samplerCUBE"; break;
        case ParameterType::Sampler:
            if (parameter.textureParameter >= 0) {
                ParameterType texture = effect_.parameters[size_t(parameter.textureParameter)].type;
                if (texture == ParameterType::TextureCube)
                    type = "samplerCUBE";
                else if (texture == ParameterType::Texture3D)
                    type = "sampler3D";
                else if (texture == ParameterType::Texture1D)
                    type = "sampler1D";
            }
            break;
        default: break;
        }
        HlslChunk chunk;
        chunk.tokens.push_back(synthesized(nameToken, type));
        chunk.tokens.push_back(nameToken);
        chunk.tokens.push_back(synthesized(nameToken, ";", TokenKind::Punct));
        effect_.chunks.push_back(std::move(chunk));
        addParameter(std::move(parameter));
        return true;
    }

    // Tokens of a state value up to ';', and their text as written.
    bool stateValue(const Token& stateToken, std::vector<Token>& value, std::string& text)
    {
        while (!isPunct(peek(), ';')) {
            if (peek().kind == TokenKind::End || isPunct(peek(), '}'))
                return fail(peek(), "expected ';' after a state assignment");
            if (!value.empty() && peek().spaceBefore) text += ' ';
            text += peek().text;
            value.push_back(next());
        }
        next();
        if (value.empty()) return fail(stateToken, "a state assignment needs a value");
        return true;
    }

    bool samplerAssignment(EffectParameter& sampler)
    {
        const Token& stateToken = peek();
        std::string state;
        if (!expectIdentifier(state, "of a sampler state")) return false;
        if (isPunct(peek(), '[')) return fail(peek(), "indexed sampler state '" + state + "' is not supported");
        if (!expectPunct('=', "after a sampler state name")) return false;
        std::vector<Token> value;
        std::string text;
        if (!stateValue(stateToken, value, text)) return false;
        if (equalsIgnoringCase(state, "Texture")) {
            // Texture = <name>; Texture = (name); Texture = name;
            std::vector<Token> inner = value;
            if (inner.size() == 3
                && ((isPunct(inner[0], '<') && isPunct(inner[2], '>'))
                    || (isPunct(inner[0], '(') && isPunct(inner[2], ')'))))
                inner = {inner[1]};
            if (inner.size() != 1 || inner[0].kind != TokenKind::Identifier)
                return fail(stateToken, "Texture in sampler_state must name a texture parameter");
            int index = findParameter(inner[0].text);
            if (index < 0 || !isTexture(effect_.parameters[size_t(index)].type))
                return fail(inner[0], "'" + inner[0].text + "' is not a texture parameter declared before the sampler");
            sampler.textureParameter = index;
            return true;
        }
        std::optional<SamplerState> id = findSamplerStateName(state);
        if (!id) return fail(stateToken, "unknown sampler state '" + state + "' in sampler '" + sampler.name + "'");
        std::string error;
        std::optional<uint32_t> parsed = parseSamplerStateValue(*id, text, error);
        if (!parsed) return fail(value[0], error);
        sampler.samplerStates.push_back({*id, *parsed});
        return true;
    }

    int findParameter(const std::string& name) const
    {
        for (size_t i = 0; i < effect_.parameters.size(); ++i)
            if (effect_.parameters[i].name == name) return int(i);
        return -1;
    }

    bool annotations(std::vector<EffectAnnotation>& out)
    {
        next(); // '<'
        while (!isPunct(peek(), '>')) {
            const Token& start = peek();
            EffectAnnotation annotation;
            if (!expectIdentifier(annotation.typeName, "for an annotation type")) return false;
            if (!expectIdentifier(annotation.name, "for an annotation")) return false;
            if (!expectPunct('=', "in an annotation")) return false;
            if (peek().kind == TokenKind::String) {
                const std::string& s = next().text;
                annotation.text = s.substr(1, s.size() >= 2 ? s.size() - 2 : 0);
            } else {
                std::vector<Token> expression;
                while (!isPunct(peek(), ';')) {
                    if (peek().kind == TokenKind::End || isPunct(peek(), '>'))
                        return fail(start, "annotation '" + annotation.name + "' needs ';'");
                    expression.push_back(next());
                }
                size_t at = 0;
                if (expression.empty() || !evaluateConstant(expression, at, annotation.numbers)
                    || at != expression.size())
                    return fail(start,
                                "the value of annotation '" + annotation.name + "' is not a string or a constant");
            }
            if (!expectPunct(';', "after an annotation")) return false;
            out.push_back(std::move(annotation));
        }
        next();
        return true;
    }

    bool technique()
    {
        const Token& keyword = next();
        ParsedTechnique technique;
        technique.location = where(keyword);
        if (peek().kind == TokenKind::Identifier) technique.name = next().text;
        if (isPunct(peek(), '<') && !annotations(technique.annotations)) return false;
        if (!expectPunct('{', "to open technique " + technique.name)) return false;
        while (!isPunct(peek(), '}')) {
            if (!isWordNoCase(peek(), "pass")) {
                const Token& t = peek();
                return fail(t.kind == TokenKind::End ? keyword : t,
                            t.kind == TokenKind::End
                                ? "technique '" + technique.name + "' is never closed"
                                : "expected 'pass' in technique '" + technique.name + "', found '" + t.text + "'");
            }
            if (!pass(technique)) return false;
        }
        next();
        for (const ParsedTechnique& other : effect_.techniques)
            if (!technique.name.empty() && other.name == technique.name)
                return fail(keyword, "technique '" + technique.name + "' is declared twice");
        effect_.techniques.push_back(std::move(technique));
        return true;
    }

    bool expectPunct(char c, const std::string& context) { return expectPunct(c, context.c_str()); }

    bool pass(ParsedTechnique& technique)
    {
        const Token& keyword = next();
        ParsedPass pass;
        pass.location = where(keyword);
        if (peek().kind == TokenKind::Identifier) pass.name = next().text;
        if (isPunct(peek(), '<') && !annotations(pass.annotations)) return false;
        if (!expectPunct('{', "to open pass " + pass.name)) return false;
        while (!isPunct(peek(), '}')) {
            if (peek().kind == TokenKind::End) return fail(keyword, "pass '" + pass.name + "' is never closed");
            if (!passAssignment(pass)) return false;
        }
        next();
        if (!pass.vertexShader.present)
            return fail(keyword, "pass '" + pass.name + "' has no vertex shader (VertexShader = compile vs_... f();)");
        if (!pass.pixelShader.present)
            return fail(keyword, "pass '" + pass.name + "' has no pixel shader (PixelShader = compile ps_... f();)");
        technique.passes.push_back(std::move(pass));
        return true;
    }

    bool passAssignment(ParsedPass& pass)
    {
        const Token& stateToken = peek();
        std::string state;
        if (!expectIdentifier(state, "of a pass state")) return false;
        if (isPunct(peek(), '['))
            return fail(peek(), "indexed state '" + state + "[...]' is not supported in pass '" + pass.name + "'");
        if (!expectPunct('=', "after a state name")) return false;
        bool vertex = equalsIgnoringCase(state, "VertexShader");
        if (vertex || equalsIgnoringCase(state, "PixelShader"))
            return shaderAssignment(vertex ? pass.vertexShader : pass.pixelShader, vertex, stateToken, pass);
        std::vector<Token> value;
        std::string text;
        if (!stateValue(stateToken, value, text)) return false;
        std::optional<RenderState> id = findRenderStateName(state);
        if (!id) return fail(stateToken, "unknown state '" + state + "' in pass '" + pass.name + "'");
        std::string error;
        std::optional<uint32_t> parsed = parseRenderStateValue(*id, text, error);
        if (!parsed) return fail(value[0], error + " (pass '" + pass.name + "')");
        pass.states.push_back({*id, *parsed, where(stateToken)});
        return true;
    }

    bool shaderAssignment(ParsedShader& shader, bool vertex, const Token& stateToken, const ParsedPass& pass)
    {
        const char* what = vertex ? "VertexShader" : "PixelShader";
        if (shader.present)
            return fail(stateToken, std::string(what) + " is assigned twice in pass '" + pass.name + "'");
        if (!isWord(peek(), "compile"))
            return fail(peek(), std::string(what) + " must be 'compile <profile> <function>()' in pass '" + pass.name
                                    + "' (fixed-function, asm and shader variables are not supported)");
        const Token& compile = next();
        std::string profile;
        if (!expectIdentifier(profile, "for the shader profile")) return false;
        static const char* vertexProfiles[] = {"vs_1_1", "vs_2_0", "vs_2_a", "vs_2_x", "vs_2_sw", "vs_3_0", "vs_3_sw"};
        static const char* pixelProfiles[] = {"ps_1_1", "ps_1_2", "ps_1_3",  "ps_1_4", "ps_2_0", "ps_2_a",
                                              "ps_2_b", "ps_2_x", "ps_2_sw", "ps_3_0", "ps_3_sw"};
        bool known = false;
        if (vertex)
            known = std::any_of(std::begin(vertexProfiles), std::end(vertexProfiles),
                                [&](const char* p) { return equalsIgnoringCase(profile, p); });
        else
            known = std::any_of(std::begin(pixelProfiles), std::end(pixelProfiles),
                                [&](const char* p) { return equalsIgnoringCase(profile, p); });
        if (!known)
            return fail(compile,
                        "'" + profile + "' is not a Direct3D 9 " + (vertex ? "vertex" : "pixel") + " shader profile");
        std::string entry;
        if (!expectIdentifier(entry, "for the shader function")) return false;
        if (!isPunct(peek(), '(')) return fail(peek(), "expected '(' after the shader function");
        std::vector<Token> call;
        if (!takeBalanced('(', ')', &call)) return false;
        shader.arguments = splitList(call, 1, call.size() - 1);
        for (size_t i = 1; i + 1 < call.size(); ++i)
            shader.argumentsText += (i > 1 && call[i].spaceBefore ? " " : "") + call[i].text;
        for (const std::vector<Token>& argument : shader.arguments)
            if (argument.empty()) return fail(compile, "an argument of '" + entry + "' is empty");
        if (!expectPunct(';', "after the compile statement")) return false;
        shader.present = true;
        shader.profile = profile;
        shader.entryPoint = entry;
        shader.location = where(compile);
        return true;
    }

    bool checkTechniques()
    {
        if (effect_.techniques.empty()) {
            // Reported at the last token of the effect, or line 1 when empty.
            SourceLocation end{files_[0], 1};
            if (tokens_.size() > 1) end = where(tokens_[tokens_.size() - 2]);
            messages_ += formatMessage(end, "the effect has no technique");
            return false;
        }
        for (const ParsedTechnique& technique : effect_.techniques)
            for (const ParsedPass& pass : technique.passes)
                for (const ParsedShader* shader : {&pass.vertexShader, &pass.pixelShader})
                    if (!functionNames_.count(shader->entryPoint)) {
                        messages_ += formatMessage(shader->location,
                                                   "shader function '" + shader->entryPoint + "' is not defined");
                        return false;
                    }
        return true;
    }
};

} // namespace

std::string formatMessage(const SourceLocation& where, const std::string& text)
{
    return where.file + ":" + std::to_string(where.line) + ": error: " + text + "\n";
}

bool parseEffect(const LexedEffect& lexed, ParsedEffect& effect, std::string& messages)
{
    Parser parser(lexed, effect, messages);
    return parser.run();
}

} // namespace ORV::Gfx::detail
