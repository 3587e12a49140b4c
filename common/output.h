// Standard output, written at once: every call reaches the terminal (or the
// pipe) before it returns, so prompts without a line end are seen.
#pragma once
#include <string>

// A text that cannot be written (standard output closed, a full disk, a
// pipe nobody reads) stops the program with the run-time error of the
// write, after one line on standard error that tells so.
void WriteText(const std::string &text);
// text followed by a line feed.
void WriteLine(const std::string &text = std::string());

// Before the program opens anything: a closed standard descriptor (0, 1
// or 2) gets /dev/null opened the other way round, so that no file the
// program opens takes its number and using it still fails as on a closed
// descriptor.  SIGPIPE and SIGXFSZ are ignored, so that a write to a pipe
// nobody reads or beyond the file size limit fails as an error the
// program reports, instead of killing it before it cleans up.
void PrepareStandardStreams();
