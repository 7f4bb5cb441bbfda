// A shared library without the secure-disk library's functions.
#ifdef _WIN32
#define NOT_SELVIK_EXPORT extern "C" __declspec(dllexport)
#else
#define NOT_SELVIK_EXPORT extern "C" __attribute__((visibility("default")))
#endif

NOT_SELVIK_EXPORT int NotSelvik() { return 0; }
