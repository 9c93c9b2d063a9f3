// Profile-file (INI) access shaped like the platform's calls.
#pragma once

// Both calls keep a file that lies where the user cannot write, or beside an
// installed copy, in the user's configuration folder instead, as
// profile::fileKeptFor says, decided at the first call for a file and kept for
// the run. There a read that finds no value for the key takes it from the file
// itself, which is never written.

// Copies the value of key in section of file into buffer (at most size - 1
// characters, NUL-terminated) and returns the count copied. A missing file,
// section or key gives the default. Names match without regard to case.
unsigned long GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                                       char* buffer, unsigned long size, const char* file);

// Stores value under key in section of file, creating the file and the section
// when missing and keeping every other line. Returns true on success. The file
// is replaced atomically: a failed write leaves the old file whole. Refuses
// (false, file untouched) a value or name with a line break, which would add
// lines of its own, and a target that is not a writable regular file of at
// most a few MB. A symbolic link is written through to its target.
bool WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* file);
