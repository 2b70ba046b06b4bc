// The one source of the shared library itself: everything else comes from the subsystems'
// object libraries.
#include "photogeo/Version.h"

extern "C" const char* PhotogeoVersion() {
    return PHOTOGEO_VERSION_STRING;
}
