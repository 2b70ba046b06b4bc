// Symbol visibility of the exported interface. The library is built with hidden visibility;
// only what carries PHOTOGEO_API is visible to programs that link it.
#ifndef PHOTOGEO_EXPORT_H
#define PHOTOGEO_EXPORT_H

#if defined(PHOTOGEO_STATIC)
#define PHOTOGEO_API
#elif defined(_WIN32)
#ifdef PHOTOGEO_BUILDING
#define PHOTOGEO_API __declspec(dllexport)
#else
#define PHOTOGEO_API __declspec(dllimport)
#endif
#else
#define PHOTOGEO_API __attribute__((visibility("default")))
#endif

#endif
