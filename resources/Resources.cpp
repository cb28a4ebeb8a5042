// Resources.cpp -- lookup in the embedded resource table.
#include "resources/Resources.h"

#include <strings.h>

const ResourceEntry* ResourceFind(const char* name, const char* type)
{
    if (name == nullptr || type == nullptr)
        return nullptr;
    for (int i = 0; i < kResourceCount; ++i) {
        const ResourceEntry& e = kResourceTable[i];
        if (strcasecmp(e.name, name) == 0 && strcasecmp(e.type, type) == 0)
            return &e;
    }
    return nullptr;
}
