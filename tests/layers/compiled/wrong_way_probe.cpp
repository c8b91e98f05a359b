// Compiled with the include folders and definitions of the target it probes:
// the headers of the target's own layer and those below it are found, a
// header of a layer above it (VELTO1_WRONG_WAY_HEADER) must not be.
#ifdef VELTO1_WRONG_WAY_HEADER
#include VELTO1_WRONG_WAY_HEADER
#endif
#include VELTO1_OWN_HEADER

int velto1_wrong_way_probe = 0;
