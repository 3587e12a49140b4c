// Standard output, written at once: every call reaches the terminal (or the
// pipe) before it returns, so prompts without a line end are seen.
#pragma once
#include <string>

void WriteText(const std::string &text);
// text followed by a line feed.
void WriteLine(const std::string &text = std::string());
