#include "platform/gfx/effect/detail/EffectLexer.h"

#include <cctype>
#include <charconv>

namespace ORV::Gfx::detail {
namespace {

bool isIdentStart(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

bool isIdentChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

int fileIndex(LexedEffect& lexed, std::string_view name)
{
    for (size_t i = 0; i < lexed.files.size(); ++i)
        if (lexed.files[i] == name) return int(i);
    lexed.files.emplace_back(name);
    return int(lexed.files.size() - 1);
}

} // namespace

LexedEffect lexEffect(std::string_view text, std::string_view mainFile)
{
    LexedEffect lexed;
    lexed.files.emplace_back(mainFile);
    int file = 0;
    int line = 1;
    bool space = false;
    bool atLineStart = true;
    size_t i = 0;
    const size_t n = text.size();
    auto push = [&](TokenKind kind, size_t begin, size_t end) {
        lexed.tokens.push_back({kind, std::string(text.substr(begin, end - begin)), file, line, space});
        space = false;
        atLineStart = false;
    };
    while (i < n) {
        char c = text[i];
        if (c == '\n') {
            ++line;
            ++i;
            space = true;
            atLineStart = true;
            continue;
        }
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
            space = true;
            continue;
        }
        if (c == '/' && i + 1 < n && text[i + 1] == '/') {
            while (i < n && text[i] != '\n') ++i;
            continue;
        }
        if (c == '/' && i + 1 < n && text[i + 1] == '*') {
            i += 2;
            while (i < n && !(text[i] == '*' && i + 1 < n && text[i + 1] == '/')) {
                if (text[i] == '\n') ++line;
                ++i;
            }
            i = std::min(n, i + 2);
            space = true;
            continue;
        }
        if (c == '#' && atLineStart) {
            size_t end = text.find('\n', i);
            if (end == std::string_view::npos) end = n;
            std::string_view directive = text.substr(i + 1, end - i - 1);
            size_t k = 0;
            while (k < directive.size() && std::isspace(static_cast<unsigned char>(directive[k]))) ++k;
            if (directive.substr(k, 4) == "line") {
                // "#line N" or "#line N "file"": the next line is line N.
                std::string_view rest = directive.substr(k + 4);
                while (!rest.empty() && std::isspace(static_cast<unsigned char>(rest.front()))) rest.remove_prefix(1);
                int number = 0;
                auto [after, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), number);
                // A number past maxLineNumber (or below 0) is ignored and the
                // count goes on, so that counting lines can never overflow.
                if (ec == std::errc() && number >= 0 && number <= maxLineNumber) {
                    std::string_view tail(after, rest.data() + rest.size() - after);
                    size_t open = tail.find('"');
                    size_t close = open == std::string_view::npos ? open : tail.find('"', open + 1);
                    if (close != std::string_view::npos)
                        file = fileIndex(lexed, tail.substr(open + 1, close - open - 1));
                    line = number - 1;
                }
            } else {
                push(TokenKind::Directive, i, end);
            }
            i = end;
            continue;
        }
        if (isIdentStart(c)) {
            size_t begin = i;
            while (i < n && isIdentChar(text[i])) ++i;
            push(TokenKind::Identifier, begin, i);
            continue;
        }
        if (std::isdigit(static_cast<unsigned char>(c))
            || (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(text[i + 1])))) {
            size_t begin = i;
            if (c == '0' && i + 1 < n && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
                i += 2;
                while (i < n && std::isxdigit(static_cast<unsigned char>(text[i]))) ++i;
            } else {
                while (i < n && (std::isdigit(static_cast<unsigned char>(text[i])) || text[i] == '.')) ++i;
                if (i < n && (text[i] == 'e' || text[i] == 'E')) {
                    size_t k = i + 1;
                    if (k < n && (text[k] == '+' || text[k] == '-')) ++k;
                    if (k < n && std::isdigit(static_cast<unsigned char>(text[k]))) {
                        i = k;
                        while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
                    }
                }
            }
            while (i < n && isIdentChar(text[i])) // suffixes: f, h, u, l
                ++i;
            push(TokenKind::Number, begin, i);
            continue;
        }
        if (c == '"') {
            size_t begin = i++;
            while (i < n && text[i] != '"' && text[i] != '\n') {
                if (text[i] == '\\' && i + 1 < n && text[i + 1] != '\n') ++i;
                ++i;
            }
            if (i < n && text[i] == '"') ++i;
            push(TokenKind::String, begin, i);
            continue;
        }
        push(TokenKind::Punct, i, i + 1);
        ++i;
    }
    lexed.tokens.push_back({TokenKind::End, std::string(), file, line, true});
    return lexed;
}

} // namespace ORV::Gfx::detail
