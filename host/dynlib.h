// Loading a dynamic library by path, resolving an export by name and
// unloading it: LoadLibraryA / GetProcAddress / FreeLibrary on Windows,
// dlopen / dlsym / dlclose elsewhere.  Plain C++; no host header.
#pragma once

namespace acquisition {

// Handle of the loaded library, or null when it cannot be loaded.  A path
// that names something other than a regular file (a FIFO, a directory, a
// device) is refused before the loader opens it: opening a FIFO blocks
// until another process writes to it.  A bare name that names no file here
// is left to the loader's own search.
void* load_library(const char* path);
// Address of the export, or null when it is missing.
void* find_export(void* library, const char* name);
// Unloads the library; the result is not reported.
void unload_library(void* library);

}  // namespace acquisition
