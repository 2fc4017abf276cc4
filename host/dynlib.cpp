#include "host/dynlib.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <sys/stat.h>
#endif

namespace acquisition {

#if defined(_WIN32)

namespace {

// False for a directory, a device or anything in the device namespace
// ("\\.\pipe\name", "\\.\COM1"); a path that names nothing is left to the
// loader.
bool may_be_library(const char* path) {
  if ((path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/') && path[2] == '.' &&
      (path[3] == '\\' || path[3] == '/'))
    return false;
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

}  // namespace

void* load_library(const char* path) {
  if (!may_be_library(path)) return nullptr;
  return reinterpret_cast<void*>(LoadLibraryA(path));
}

void* find_export(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void unload_library(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

#else

namespace {

// False when the path names something that is not a regular file (after
// following links); a path that names nothing is left to the loader.
bool may_be_library(const char* path) {
  struct stat st;
  if (stat(path, &st) != 0) return true;
  return S_ISREG(st.st_mode);
}

}  // namespace

void* load_library(const char* path) {
  if (!may_be_library(path)) return nullptr;
  return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

void* find_export(void* library, const char* name) { return dlsym(library, name); }

void unload_library(void* library) { dlclose(library); }

#endif

}  // namespace acquisition
