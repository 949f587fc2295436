#include "apply_payload.h"

// The game's program file comes first.
const char* const payloadSourceNames[] = {"pkadv.exe", "Archive.dat", "Instdata.pak", NULL};
const char* const payloadTargetNames[] = {"pkadv.exe", "Archive.dat", "Instdata.pak", NULL};
