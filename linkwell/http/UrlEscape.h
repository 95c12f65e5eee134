// Hand-written URL escaping of the relay protocol. Every byte but an ASCII
// letter or digit becomes "%XX" in upper case (libcurl's own escaper leaves
// "-._~" alone, which would change what the relay receives). Decoding needs no
// libcurl handle, so the caller's thread may use it while the worker sends.
#pragma once

#include <string>
#include <string_view>

namespace linkwell {

std::string EscapeBytes(std::string_view bytes);
// "%" followed by two hexadecimal digits becomes that byte; anything else,
// a lone "%" or "%G1" among them, stays as written.
std::string UnescapeBytes(std::string_view text);
// UTF-16 units up to 0xFF keep their byte; every other unit becomes "?" (cutting
// them to their low byte would turn U+0100 into a zero that ends the text).
std::string NarrowUnits(const char16_t* text);

} // namespace linkwell
