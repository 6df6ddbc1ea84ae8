#include "platform/gfx/effect/detail/PreprocessorBounds.h"

#include "platform/gfx/effect/detail/EffectParser.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <unordered_map>
#include <vector>

namespace ORV::Gfx::detail {
namespace {

struct PpToken {
    std::string_view text;
    int line = 0;
    bool startsLine = false; // first token of its line: a '#' here opens a directive
    bool spaceBefore = false;
};

bool isIdentifierStart(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

bool isIdentifierChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// Splits text into preprocessing tokens: identifiers, numbers, string
// literals and single punctuation characters. Comments and backslash-newline
// continuations are skipped; lines are counted as written.
std::vector<PpToken> tokenize(std::string_view text)
{
    std::vector<PpToken> tokens;
    int line = 1;
    bool lineStart = true;
    bool space = false;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
            lineStart = true;
            space = true;
            ++i;
            continue;
        }
        if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '\n' || text[i + 1] == '\r')) {
            i += text[i + 1] == '\r' && i + 2 < text.size() && text[i + 2] == '\n' ? 3 : 2;
            ++line;
            space = true;
            continue;
        }
        if (std::isspace(static_cast<unsigned char>(c))) {
            space = true;
            ++i;
            continue;
        }
        if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
            while (i < text.size() && text[i] != '\n') ++i;
            continue;
        }
        if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
            i += 2;
            while (i < text.size() && !(text[i] == '*' && i + 1 < text.size() && text[i + 1] == '/')) {
                if (text[i] == '\n') ++line;
                ++i;
            }
            i = std::min(i + 2, text.size());
            space = true;
            continue;
        }
        size_t end = i + 1;
        if (isIdentifierStart(c)) {
            while (end < text.size() && isIdentifierChar(text[end])) ++end;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            while (end < text.size() && (isIdentifierChar(text[end]) || text[end] == '.')) ++end;
        } else if (c == '"') {
            while (end < text.size() && text[end] != '"' && text[end] != '\n') ++end;
            if (end < text.size() && text[end] == '"') ++end;
        }
        tokens.push_back({text.substr(i, end - i), line, lineStart, space});
        lineStart = false;
        space = false;
        i = end;
    }
    return tokens;
}

// Sizes in bytes as an affine function of a macro's arguments' sizes:
// constant + sum(perArgument[i] * size of argument i). Saturates far above
// any bound, so that the arithmetic of a macro bomb stays finite.
struct Size {
    double constant = 0.0;
    std::vector<double> perArgument;

    void add(const Size& other, double times)
    {
        constant = std::min(constant + other.constant * times, saturated);
        if (perArgument.size() < other.perArgument.size()) perArgument.resize(other.perArgument.size(), 0.0);
        for (size_t i = 0; i < other.perArgument.size(); ++i)
            perArgument[i] = std::min(perArgument[i] + other.perArgument[i] * times, saturated);
    }
    static constexpr double saturated = 1e30;
};

struct Macro {
    bool functionLike = false;
    std::vector<std::string_view> parameters;
    std::vector<PpToken> body;
    std::optional<Size> size; // computed with the definitions of sizeGeneration
    int sizeGeneration = -1;
    bool expanding = false; // a macro does not expand inside its own expansion
    std::string_view tail; // a function-like macro named by the last body token
};

class BoundsCheck {
public:
    BoundsCheck(EffectIncludeHandler& includes, FetchedIncludes& fetched) : includes_(includes), fetched_(fetched) {}

    // Scans one file's text; false when a bound is exceeded (message set).
    bool scan(std::string_view text, const std::string& file, int depth)
    {
        total_ += double(text.size());
        if (total_ > double(maxPreprocessedBytes)) {
            message_ = formatMessage({file, 1}, "the effect and its includes are larger than "
                                                    + std::to_string(maxPreprocessedBytes) + " bytes");
            return false;
        }
        const std::vector<PpToken> tokens = tokenize(text);
        file_ = file;
        for (size_t i = 0; i < tokens.size();) {
            const PpToken& t = tokens[i];
            if (t.startsLine && t.text == "#") {
                size_t end = i + 1;
                while (end < tokens.size() && !tokens[end].startsLine) ++end;
                if (!directive(tokens, i + 1, end, file, depth)) return false;
                i = end;
                continue;
            }
            // Text outside directives: its own bytes are already counted; a
            // macro invocation adds what it expands to.
            const size_t begin = i;
            Size added = expandAt(tokens, i, tokens.size(), {});
            total_ += added.constant - double(spanBytes(tokens, begin, i));
            if (failed_) return false;
            if (total_ > double(maxPreprocessedBytes)) {
                message_ = formatMessage({file, t.line}, "the preprocessed effect would be larger than "
                                                             + std::to_string(maxPreprocessedBytes)
                                                             + " bytes (macro expansion)");
                return false;
            }
        }
        return true;
    }

    const std::string& message() const { return message_; }

private:
    static size_t spanBytes(const std::vector<PpToken>& tokens, size_t begin, size_t end)
    {
        size_t bytes = 0;
        for (size_t i = begin; i < end; ++i) bytes += tokens[i].text.size() + 1;
        return bytes;
    }

    bool directive(const std::vector<PpToken>& tokens, size_t begin, size_t end, const std::string& file, int depth)
    {
        if (begin >= end) return true;
        const std::string_view name = tokens[begin].text;
        if (name == "define" && begin + 1 < end) {
            define(tokens, begin + 1, end);
        } else if (name == "undef" && begin + 1 < end) {
            macros_.erase(tokens[begin + 1].text);
            ++generation_;
        } else if (name == "include" && begin + 1 < end) {
            return include(tokens[begin + 1], file, depth);
        }
        return true;
    }

    void define(const std::vector<PpToken>& tokens, size_t begin, size_t end)
    {
        const PpToken& name = tokens[begin];
        if (!isIdentifierStart(name.text[0])) return;
        Macro macro;
        size_t body = begin + 1;
        if (body < end && tokens[body].text == "(" && !tokens[body].spaceBefore) {
            macro.functionLike = true;
            for (++body; body < end && tokens[body].text != ")"; ++body) {
                if (tokens[body].text == ",") continue;
                // "..." arrives as three '.' tokens and stands for __VA_ARGS__.
                if (tokens[body].text == ".") {
                    if (macro.parameters.empty() || macro.parameters.back() != "__VA_ARGS__")
                        macro.parameters.push_back("__VA_ARGS__");
                    continue;
                }
                macro.parameters.push_back(tokens[body].text);
            }
            body = std::min(body + 1, end);
        }
        macro.body.assign(tokens.begin() + long(body), tokens.begin() + long(end));
        // Definitions are kept by value: the tokens point into text that
        // outlives the check (the source or a fetched include).
        macros_[name.text] = std::move(macro);
        ++generation_; // sizes depend on the definitions in force when a macro is used
    }

    bool include(const PpToken& nameToken, const std::string& file, int depth)
    {
        std::string_view quoted = nameToken.text;
        if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"')
            return true; // <name> is rare; left to glslang
        const std::string name(quoted.substr(1, quoted.size() - 2));
        if (++includeCount_ > maxEffectIncludes) {
            message_ = formatMessage({file, nameToken.line},
                                     "more than " + std::to_string(maxEffectIncludes) + " #include directives");
            return false;
        }
        // Deeper includes, and a file including itself, are the
        // preprocessor's to refuse; they are not read here twice.
        if (depth >= maxEffectIncludeDepth) return true;
        if (std::find(stack_.begin(), stack_.end(), name) != stack_.end()) return true;
        auto found = fetched_.find(name);
        if (found == fetched_.end()) found = fetched_.emplace(name, includes_.open(name)).first;
        if (!found->second.ok()) return true;
        stack_.push_back(name);
        const bool ok = scan(found->second.value(), name, depth + 1);
        stack_.pop_back();
        file_ = file;
        return ok;
    }

    // The size of what tokens[i] expands to, advancing i past it (past the
    // argument list of an invocation). Inside a macro body, parameters are
    // counted in perArgument.
    Size expandAt(const std::vector<PpToken>& tokens, size_t& i, size_t end,
                  const std::vector<std::string_view>& parameters)
    {
        const PpToken& t = tokens[i++];
        Size size;
        if (failed_ || ++work_ > maxWork) {
            fail(t, "the effect's macros are too intricate to bound; simplify them");
            return size;
        }
        if (!isIdentifierStart(t.text[0])) {
            size.constant = double(t.text.size() + 1);
            return size;
        }
        if (auto p = std::find(parameters.begin(), parameters.end(), t.text); p != parameters.end()) {
            size.perArgument.assign(parameters.size(), 0.0);
            size.perArgument[size_t(p - parameters.begin())] = 1.0;
            return size;
        }
        auto found = macros_.find(t.text);
        if (found == macros_.end() || found->second.expanding) {
            size.constant = double(t.text.size() + 1);
            return size;
        }
        Macro* macro = &found->second;
        if (!macro->functionLike) {
            size.add(sizeOf(*macro), 1.0);
            // An expansion that ends in a function-like macro's name invokes it
            // with the parentheses that follow.
            auto tail = macros_.find(macro->tail);
            if (tail == macros_.end() || !tail->second.functionLike || tail->second.expanding || i >= end
                || tokens[i].text != "(")
                return size;
            macro = &tail->second;
        } else if (i >= end || tokens[i].text != "(") {
            size.constant = double(t.text.size() + 1); // a function-like name alone stays a name
            return size;
        }
        // The arguments, split at top-level commas, each sized on its own.
        if (++nesting_ > maxNesting) {
            fail(t, "macro invocations nest deeper than " + std::to_string(maxNesting) + " levels");
            return size;
        }
        std::vector<Size> arguments(1);
        int depth = 0;
        for (++i; i < end;) {
            const std::string_view text = tokens[i].text;
            if (text == "(") ++depth;
            if (text == ")" && depth-- == 0) {
                ++i;
                break;
            }
            if (text == "," && depth == 0) {
                arguments.emplace_back();
                ++i;
                continue;
            }
            arguments.back().add(expandAt(tokens, i, end, parameters), 1.0);
        }
        --nesting_;
        const Size body = sizeOf(*macro);
        size.constant = std::min(size.constant + body.constant, Size::saturated);
        for (size_t a = 0; a < body.perArgument.size(); ++a)
            if (a < arguments.size()) size.add(arguments[a], body.perArgument[a]);
        return size;
    }

    Size sizeOf(Macro& macro)
    {
        if (macro.size && macro.sizeGeneration == generation_) return *macro.size;
        if (++nesting_ > maxNesting) {
            fail(macro.body.empty() ? PpToken{} : macro.body.front(),
                 "macros expand through more than " + std::to_string(maxNesting) + " levels");
            return {};
        }
        macro.expanding = true;
        Size size;
        size.perArgument.assign(macro.parameters.size(), 0.0);
        for (size_t i = 0; i < macro.body.size();)
            size.add(expandAt(macro.body, i, macro.body.size(), macro.parameters), 1.0);
        macro.expanding = false;
        --nesting_;
        if (!macro.body.empty()) macro.tail = macro.body.back().text;
        macro.size = size;
        macro.sizeGeneration = generation_;
        return size;
    }

    void fail(const PpToken& at, const std::string& text)
    {
        if (failed_) return;
        failed_ = true;
        message_ = formatMessage({file_, at.line}, text);
    }

    // Far above what real effects need, low enough that the recursion here
    // and glslang's own stays shallow.
    static constexpr int maxNesting = 256;
    // Token visits of the size estimate; real effects take thousands.
    static constexpr long maxWork = 50'000'000;

    EffectIncludeHandler& includes_;
    FetchedIncludes& fetched_;
    std::unordered_map<std::string_view, Macro> macros_;
    std::vector<std::string> stack_;
    std::string file_; // the file being scanned, for messages
    int generation_ = 0;
    int nesting_ = 0;
    long work_ = 0;
    bool failed_ = false;
    int includeCount_ = 0;
    double total_ = 0.0;
    std::string message_;
};

} // namespace

bool checkPreprocessorBounds(std::string_view preamble, std::string_view source, const std::string& sourceName,
                             EffectIncludeHandler& includes, FetchedIncludes& fetched, std::string& messages)
{
    BoundsCheck check(includes, fetched);
    if (check.scan(preamble, sourceName, 0) && check.scan(source, sourceName, 0)) return true;
    messages += check.message();
    return false;
}

} // namespace ORV::Gfx::detail
