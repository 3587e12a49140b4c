// File operations that stop the program with the run-time error of a
// failure, as every failed file operation of the programs does.
#pragma once
#include <cstddef>
#include <string>

// Creates (or empties) a file for writing and returns its descriptor.
int CreateFileOrStop(const std::string &name);
// Writes all bytes, continuing after an interrupted or partial write; a
// write that makes no progress counts as a full disk.
void WriteOrStop(int fd, const void *bytes, std::size_t length);
// Closes the descriptor.
void CloseOrStop(int fd);
