#include "wnaspi32.h"

#include <dlfcn.h>

namespace wnaspi32 {

namespace {
void* library = nullptr;
void* sendCommand = nullptr;  // SendASPI32Command
void* supportInfo = nullptr;  // GetASPI32SupportInfo
}  // namespace

void Load()
{
    if (library) return;
    library = dlopen("libwnaspi32.so", RTLD_NOW | RTLD_LOCAL);
    if (!library) library = dlopen("wnaspi32.so", RTLD_NOW | RTLD_LOCAL);
    if (!library) return;
    sendCommand = dlsym(library, "SendASPI32Command");
    supportInfo = dlsym(library, "GetASPI32SupportInfo");
}

void Unload()
{
    if (library) dlclose(library);
    library = sendCommand = supportInfo = nullptr;
}

bool Loaded() { return library != nullptr; }

}  // namespace wnaspi32
