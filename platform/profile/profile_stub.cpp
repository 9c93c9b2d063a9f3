#include "profile.h"
#include <cstring>
unsigned long GetPrivateProfileStringA(const char*, const char*, const char* d, char* b, unsigned long n, const char*) {
    if (!n) return 0; std::strncpy(b, d, n - 1); b[n - 1] = 0; return std::strlen(b); }
bool WritePrivateProfileStringA(const char*, const char*, const char*, const char*) { return false; }
