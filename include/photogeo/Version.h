// The library's version, as "MAJOR.MINOR.PATCH".
#ifndef PHOTOGEO_VERSION_H
#define PHOTOGEO_VERSION_H

#include "photogeo/Export.h"

extern "C" PHOTOGEO_API const char* PhotogeoVersion();

#endif
