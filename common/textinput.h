// Text input from a file descriptor with its own buffer, so that the screen
// layer can tell whether a byte is already waiting (KeyPressed) and so that
// number reading works the same on the keyboard and on text files.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

struct TextInput {
    int fd = -1;
    unsigned char buffer[4096];
    std::size_t position = 0;
    std::size_t length = 0;
    bool atEnd = false;
};

// Standard input, descriptor 0.
extern TextInput StandardInput;

// Opens a file for reading; on failure returns false with errno set.
bool OpenTextInput(TextInput &in, const char *path);
// Closes the file; a failed close stops with the run-time error of it.
void CloseTextInput(TextInput &in);

// The next byte without taking it, or -1 at the end.  A failed read stops
// with the run-time error of the failure.
int PeekByte(TextInput &in);
// Takes the next byte, or returns -1 at the end.
int GetByte(TextInput &in);
// True at the physical end of the input.
bool AtEndOfInput(TextInput &in);
// True when a byte is in the buffer already (no system call).
bool HasBufferedByte(const TextInput &in);
// True when a byte can be taken without waiting: one is in the buffer, or
// the descriptor is readable at once and a read brings at least one byte
// into the buffer (nothing is taken).  A read that finds the end of the
// input marks the end and gives false.  A failed read stops with the
// run-time error of the failure.
bool InputByteWaiting(TextInput &in);

// Skips blanks, tabs, carriage returns and line ends (across lines), then
// reads the number's text up to the next blank, tab, carriage return or line
// end and converts it.  A rejected text, or the end reached before a number,
// stops the program with run-time error 106; so does a text longer than 255
// characters, as soon as it passes that length.
double ReadReal(TextInput &in);
int32_t ReadInteger(TextInput &in);

// Skips the rest of the current line, its line end included.
void SkipLine(TextInput &in);

// Reads a whole line without its line end (a carriage return before the
// line feed is dropped too).  At most maxLength characters are kept; the
// rest of the line is read and thrown away.  At the end of the input an
// empty text is returned.
std::string ReadLine(TextInput &in, std::size_t maxLength = 255);
