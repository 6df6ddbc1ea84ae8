// Bounds on what glslang's preprocessor is given, checked before it runs: it
// cannot be interrupted, and an effect can ask it for unbounded work (macros
// that expand to a thousand billion tokens, an include tree that fans out).
// The check reads the effect and every file it includes, ignoring #if (so it
// sees a superset of what is compiled), and estimates the size of the
// preprocessed text from the macro definitions.
//
// The estimate follows object-like and function-like macros, repeated
// parameters, nested invocations and a macro whose expansion ends in the name
// of a function-like one; it is an upper bound for those forms. It does not
// evaluate #if, token pasting or stringizing, which cannot multiply text.
#pragma once

#include "core/Result.h"
#include "platform/gfx/effect/EffectCompiler.h"

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

namespace ORV::Gfx::detail {

// The largest preprocessed effect accepted. Real effects with their includes
// are tens of kilobytes; the lexer keeps about 50 bytes per token (a token may
// be one byte and a space), so this also holds its memory near 100 MB.
constexpr std::size_t maxPreprocessedBytes = std::size_t(4) << 20;

// Include directives served per compilation, repeats counted. A file that
// includes itself twice per level would otherwise be read 2^32 times within
// the depth limit.
constexpr int maxEffectIncludes = 1024;

// The include files the check read, by the name written in the directive, so
// that the preprocessor is served the same bytes without reading them again.
using FetchedIncludes = std::map<std::string, Core::Result<std::string>>;

// Checks the preamble (the defines) and source, fetching includes through
// the handler into fetched. On a bound exceeded, appends "file:line: error:"
// messages naming where and returns false. Include files that can't be opened
// are not this check's fault: they are left for the preprocessor to report.
bool checkPreprocessorBounds(std::string_view preamble, std::string_view source, const std::string& sourceName,
                             EffectIncludeHandler& includes, FetchedIncludes& fetched, std::string& messages);

} // namespace ORV::Gfx::detail
