// Symbol visibility of the exported interface, and the compiler annotations the public headers
// use. The library is built with hidden visibility; only what carries PHOTOGEO_API is visible to
// programs that link it. Compilers without the GCC attribute syntax get plain declarations.
#ifndef PHOTOGEO_EXPORT_H
#define PHOTOGEO_EXPORT_H

#if defined(PHOTOGEO_STATIC)
#define PHOTOGEO_API
#define PHOTOGEO_LOCAL
#elif defined(_WIN32)
#ifdef PHOTOGEO_BUILDING
#define PHOTOGEO_API __declspec(dllexport)
#else
#define PHOTOGEO_API __declspec(dllimport)
#endif
#define PHOTOGEO_LOCAL
#elif defined(__GNUC__)
#define PHOTOGEO_API __attribute__((visibility("default")))
// For a class nested in an exported one that must stay internal to the library.
#define PHOTOGEO_LOCAL __attribute__((visibility("hidden")))
#else
#define PHOTOGEO_API
#define PHOTOGEO_LOCAL
#endif

// Marks a printf-style member function: the format is argument nFormat, the values start at
// nFirst (the object itself counts as argument 1). Lets the compiler check the calls.
#if defined(__GNUC__)
#define PHOTOGEO_PRINTF_FORMAT(nFormat, nFirst) __attribute__((format(printf, nFormat, nFirst)))
#else
#define PHOTOGEO_PRINTF_FORMAT(nFormat, nFirst)
#endif

#endif
