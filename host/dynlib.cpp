#include "host/dynlib.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace acquisition {

#if defined(_WIN32)

void* load_library(const char* path) { return reinterpret_cast<void*>(LoadLibraryA(path)); }

void* find_export(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void unload_library(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

#else

void* load_library(const char* path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }

void* find_export(void* library, const char* name) { return dlsym(library, name); }

void unload_library(void* library) { dlclose(library); }

#endif

}  // namespace acquisition
