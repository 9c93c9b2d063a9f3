#include "mci.h"
#include "shortpath.h"
MCIERROR mciSendStringA(const char*, char*, unsigned, void*) { return MCIERR_UNRECOGNIZED_COMMAND; }
unsigned long GetShortPathNameA(const char*, char*, unsigned long) { return 0; }
