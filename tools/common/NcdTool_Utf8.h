// UTF-8 as the design format defines it (no overlong forms, no surrogates,
// nothing above U+10FFFF), for the tools that check text they read
// (ncdimport) or write it where only some characters may go (ncdplot).
#pragma once

#include <cstddef>
#include <string_view>

namespace NcdTool {

// The length of the UTF-8 sequence at `at` (1 to 4) with its code point
// in `code`, or 0 when the bytes there are no UTF-8 sequence.
std::size_t Utf8At(std::string_view text, std::size_t at, char32_t& code);

}  // namespace NcdTool
