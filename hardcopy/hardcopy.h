// The hard copy of the graphics screen: the answer typed after a picture,
// the hard-copy file with its numbered slots, and the printer channel whose
// spool file becomes one print job at the end of the program.
#pragma once
#include <cstdint>
#include <string>

// The stem that names the hard-copy file (stem + ".prn"); set once at
// start-up from the observation file name.
void SetHardCopyStem(const std::string &stem);
// The observation file: a hard-copy file that is this file is refused.
void SetHardCopyInput(const std::string &inputName);

// Reads one answer line while a picture is shown: f or F with a slot number
// stores the screen in that slot of the hard-copy file, p or P sends it to
// the printer channel, anything else makes no copy.
void HardCopyPrompt();

// Writes one file-form dump of the screen into the file named by 'name'
// (".prn" added when it has no extension) at the given slot.  An existing
// file is written as a copy beside it that takes its place when complete,
// so that a failure leaves it as it was; a new one is removed when the dump
// cannot be completed.  A file that is a symbolic link, or that is the
// observation file, is refused with a message and the run goes on.
void CopyScreenToFile(const std::string &name, uint8_t slot);

// Looks for 'path' in the current directory, in TEMP and in every PATH
// element (':' and ';' separate), or creates it exclusively (in TEMP when
// set); opens it for reading and writing, never through a symbolic link,
// and positions it at slot 'slot' of 'dumpSize' bytes (slot 0 is slot 1; a
// slot at or beyond the end appends after the last complete dump).  Returns
// the descriptor; a failed file operation stops with its run-time error.
int OpenHardCopyFile(const std::string &path, long dumpSize, uint8_t slot);

// Writes one printer-form dump of the screen to the printer channel.
void CopyScreenToPrinter();

// The printer channel.  OpenPrinterSpool creates /tmp/<pid>.lst, never
// following or reusing an entry that is already there: when someone else's
// entry holds the name, another free name in /tmp is taken.  The channel
// stays closed when no file can be created.  It registers ClosePrinterSpool
// as an exit hook, and the spool file for removal by an ending signal.
void OpenPrinterSpool();
// One byte to the spool file; through a closed channel: run-time error 103.
void PrinterWriteByte(unsigned char byte);
// At the end: nothing written, the spool file is deleted; something
// written, "/usr/bin/lpr <spool file>" runs and is waited for, and the file
// is deleted when it ends with status 0; otherwise it stays, and one line
// on standard error names it.
void ClosePrinterSpool();
// The spool file's path (for messages and tests).
const std::string &PrinterSpoolPath();
