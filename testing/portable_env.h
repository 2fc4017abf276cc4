// setenv and unsetenv for the tests on Windows, whose C runtime has neither:
// the variable is set in the process environment (where the simulated
// driver reads it) and in the C runtime's copy alike.
#pragma once

#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>

inline int setenv(const char* name, const char* value, int) {
  SetEnvironmentVariableA(name, value);
  return _putenv_s(name, value);
}
inline int unsetenv(const char* name) {
  SetEnvironmentVariableA(name, nullptr);
  return _putenv_s(name, "");
}
#endif
