// Texts of the system: single-byte strings of at most 255 characters,
// positions counted from 1.
#pragma once
#include <string>

using Text = std::string;

const std::size_t MaxTextLength = 255;

// Keeps the first 255 characters of s.
Text CutText(const std::string &s);

// Copy(text, start, count): the substring rule shared by the text helpers.
// A negative count counts as 0, a start of 1 or less means the first
// character, a start beyond the end gives the empty text, and the count is
// reduced so that the copy ends at the end of the text.
Text Copy(const Text &text, long start, long count);

// Position (from 1) of the first occurrence of c in text, 0 when absent.
long PositionOf(char c, const Text &text);
