#pragma once
// Text operations on paths and addresses used while resolving the start page.

#include <string>
#include <string_view>

namespace brevant {

// The text after the last "\", "/" or ":"; the whole path when it has none.
std::u16string FileNamePart(std::u16string_view path);
// The directory of a file path without a trailing separator; a root keeps its backslash.
std::u16string DirectoryPart(std::u16string_view path);
// Everything before the last "\" or "/"; empty when there is none.
std::u16string TextBeforeLastSlash(std::u16string_view path);
// The file name part without its extension.
std::u16string NameWithoutExtension(std::u16string_view path);
// Replaces the extension (from the last "." of the file name part) or appends one.
std::u16string ReplaceExtension(std::u16string_view path, std::u16string_view extension);

// Joins two paths; the second wins when it is absolute. Raises EArgumentException
// "Invalid characters in path" when either holds a control character, '"', '<', '>' or '|'
// (unless one of them is empty, which returns the other unchecked).
std::u16string CombinePath(std::u16string_view first, std::u16string_view second);
bool HasInvalidPathCharacter(std::u16string_view path);

// Wraps a text holding a blank in double quotes, doubling the quotes inside it.
std::u16string QuoteIfSpaced(std::u16string_view text);
// Undoes the quoting of a text that begins with a double quote and has its closing one.
std::u16string RemoveSurroundingQuotes(std::u16string_view text);

std::u16string EnsureTrailingSlash(std::u16string_view text);
std::u16string StripTrailingSlash(std::u16string_view text);
// Puts "http://" in front unless the text already begins with http:// or https://.
std::u16string AddHttpPrefix(std::u16string_view text);

}  // namespace brevant
