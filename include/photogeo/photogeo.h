// Everything the library exports.
#ifndef PHOTOGEO_PHOTOGEO_H
#define PHOTOGEO_PHOTOGEO_H

#include "photogeo/Export.h"
#include "photogeo/Version.h"
#include "photogeo/InBitStream.h"
#include "photogeo/HostTypes.h"
#include "photogeo/Marker.h"
#include "photogeo/ExifProperty.h"
#include "photogeo/Exif.h"
#include "photogeo/ExifIfdCoder.h"
#include "photogeo/JpegDecoder.h"
#include "photogeo/JpegImage.h"
#include "photogeo/MagVar.h"
#include "photogeo/GeomagneticField.h"
#include "photogeo/Nkf.h"
#include "photogeo/PerlinNoise.h"
#include "photogeo/Result.h"
#include "photogeo/SafeFile.h"
#include "photogeo/ExifEdit.h"

#endif
