// Output files that replace their earlier version only when complete.  The
// new content is written under a temporary name in the same directory,
// created exclusively, and renamed over the final name at the end; a run
// that stops before (a refused record, a run-time error, an ending signal)
// removes the temporary file and leaves the earlier file as it was.
#pragma once
#include <string>

// Opens a new, empty file beside 'finalName' (in its directory, under a
// name of its own) for writing; the permissions are those of the file it
// will replace (a regular file at the name itself), or 0666 less the umask
// for a new one.  Returns the
// descriptor, or -1 with errno set.  The file is removed at the end of the
// program, or by an ending signal, unless CommitReplacement renamed it.
int OpenReplacement(const std::string &finalName);
// Creates 'name' exclusively (never through a link, never over an entry
// that is there) for reading and writing.  Returns the descriptor, or -1
// with errno set.  Until CommitReplacement keeps it, the file is removed
// at the end of the program or by an ending signal.
int CreateNewFile(const std::string &name);
// Closes the file and renames it over its final name (a file of
// CreateNewFile stays where it is); a failure stops the program with the
// run-time error of the failed operation.
void CommitReplacement(int fd);

// Creates the output file 'name' as CreateFileOrStop would, but written
// through a replacement: the earlier file keeps its content until
// FinishOutputFile.  A name that leads (through links) to an existing file
// is replaced there, so that the link stays; a name that leads to something
// other than a regular file (a device, a pipe) is written directly, as there
// is nothing to keep.  A failure stops with the run-time error of the
// failed operation, the same one that creating the file directly gives.
int CreateOutputFile(const std::string &name);
// Creates the output file 'name' through a replacement that takes the
// place of the entry at the name itself: a symbolic link there is replaced
// by the new file, never written through, and the earlier file keeps its
// content until FinishOutputFile.  A directory at the name stops with
// access denied; a device or pipe there is written directly; a regular
// file in a directory that takes no new file is written in place.  Other
// failures stop with the run-time error that creating the file directly
// gives.
int CreateReplacingOutputFile(const std::string &name);
// Completes a file of CreateOutputFile or CreateReplacingOutputFile.
void FinishOutputFile(int fd);
