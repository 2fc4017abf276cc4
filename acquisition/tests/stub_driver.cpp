// A driver library that lacks one of the five exports (the one named by
// MISSING_EXPORT, 0 to 4), for the start's export checks.  None of the
// present exports is ever called.
#define STUB_EXPORT extern "C" __attribute__((visibility("default")))

#if MISSING_EXPORT != 0
STUB_EXPORT void* OPEN_DRIVER_ASYNC(void) { return nullptr; }
#endif
#if MISSING_EXPORT != 1
STUB_EXPORT int USB_WRITE(void*, const unsigned char*) { return 0; }
#endif
#if MISSING_EXPORT != 2
STUB_EXPORT int READ_MULTIPLE_SWEEPS(void*, unsigned char*, int) { return 0; }
#endif
#if MISSING_EXPORT != 3
STUB_EXPORT int READ_POINTER(void*, unsigned*) { return 0; }
#endif
#if MISSING_EXPORT != 4
STUB_EXPORT int CLOSE_DRIVER_ASYNC(void*) { return 0; }
#endif
