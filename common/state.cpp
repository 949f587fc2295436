#include "state.h"

char installFolder[MAX_PATH];
VersionCode installedVersion;
char saveFolder[MAX_PATH];
