// Everything the library exports.
#ifndef PHOTOGEO_PHOTOGEO_H
#define PHOTOGEO_PHOTOGEO_H

#include "photogeo/Export.h"
#include "photogeo/Version.h"
#include "photogeo/InBitStream.h"
#include "photogeo/HostTypes.h"
#include "photogeo/Marker.h"

#endif
