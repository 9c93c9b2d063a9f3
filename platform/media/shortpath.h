// Short form of a file's path, for the open command.
#pragma once

// Writes a form of longPath that, put unquoted into the open command, names
// the same file to the media layer. Returns the count of characters written
// (without the terminating NUL), or 0 when the file does not exist or no form
// fits. Never writes more than bufferLength characters including the NUL and
// never returns a count of bufferLength or more, so the caller may keep that
// many characters of its buffer. A path longer than the buffer gets a short
// alias that the media layer maps back to the file.
unsigned long GetShortPathNameA(const char* longPath, char* shortPath, unsigned long bufferLength);
