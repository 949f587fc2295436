#include "path_join.h"

int joinPath(char* out, int capacity, const char* folder, const char* name)
{
    if (lstrlenA(folder) + 1 + lstrlenA(name) + 1 > capacity) {
        if (capacity > 0)
            out[0] = '\0';
        return 0;
    }
    wsprintfA(out, "%s\\%s", folder, name);
    return 1;
}
