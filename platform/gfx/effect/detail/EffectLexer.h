// Tokens of a preprocessed effect source, each with the file and line it came
// from (glslang's preprocessor marks include boundaries with #line directives).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ORV::Gfx::Detail {

enum class TokenKind : uint8_t { Identifier, Number, String, Punct, Directive, End };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;     // as written; String tokens include their quotes
    int file = 0;         // index into LexedEffect::files
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

bool equalNoCase(std::string_view a, std::string_view b);

} // namespace ORV::Gfx::Detail
