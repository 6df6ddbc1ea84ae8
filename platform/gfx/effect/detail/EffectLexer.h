// Tokens of a preprocessed effect source, each with the file and line it came
// from (glslang's preprocessor marks include boundaries with #line directives).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ORV::Gfx::detail {

enum class TokenKind : uint8_t { Identifier, Number, String, Punct, Directive, End };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text; // as written; String tokens include their quotes
    int file = 0; // index into LexedEffect::files
    int line = 0;
    bool spaceBefore = false;
};

struct LexedEffect {
    std::vector<Token> tokens; // ends with one End token
    std::vector<std::string> files;
};

// Splits preprocessed text into tokens. Punctuation is one character per
// token ('>=' is '>' '='), so that annotations and templates close cleanly;
// spaceBefore keeps the text reproducible. #line directives are consumed;
// other directives (#pragma) become Directive tokens holding the whole line.
LexedEffect lexEffect(std::string_view text, std::string_view mainFile);

// The largest line number a #line directive may set: far past any real source,
// and low enough that counting the lines after it stays inside an int.
constexpr int maxLineNumber = 1 << 30;

inline bool isPunct(const Token& t, char c)
{
    return t.kind == TokenKind::Punct && t.text.size() == 1 && t.text[0] == c;
}

// Case-sensitive, as HLSL keywords are.
inline bool isWord(const Token& t, std::string_view word)
{
    return t.kind == TokenKind::Identifier && t.text == word;
}

// A token the compiler writes itself (a rewritten declaration, an entry
// wrapper), placed where at is so that messages about it point there.
inline Token synthesized(const Token& at, std::string text, TokenKind kind = TokenKind::Identifier)
{
    Token t = at;
    t.kind = kind;
    t.text = std::move(text);
    t.spaceBefore = true;
    return t;
}

} // namespace ORV::Gfx::detail
