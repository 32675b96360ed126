#pragma once
// The single-byte code page of configuration files, stick names and the report
// (Windows-1252), converted to and from the UTF-8 text used everywhere else.

#include <string>
#include <string_view>

namespace ormid {

// One byte per character; a character the code page lacks becomes '?'.
std::string utf8ToCp1252(std::string_view utf8);
// Lossless: the bytes the code page leaves undefined (81, 8D, 8F, 90, 9D) become the
// control characters U+0081 .. U+009D and go back to the same bytes.
std::string cp1252ToUtf8(std::string_view bytes);

} // namespace ormid
