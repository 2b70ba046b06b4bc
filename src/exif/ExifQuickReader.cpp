// CExif::ReadQuickExif: the fast read used to place many photographs on a map. It walks the
// TIFF block with the rules of the full reader (ExifReader.cpp) but decodes only the title,
// the shooting time, the user comment and the GPS position, altitude, datum and direction,
// keeps only the two sub-directory pointers in the entry table, and extracts the IFD1
// thumbnail only when asked to.
#include "exif/ExifReadPass.h"

using namespace photogeo::exif;

void CExif::ReadQuickExif(CInBitStream* pStream, int nLength, SExifProperty* pProp,
                          int bThumbnail) {
    ResetForRead();
    ReadPass r(*this, *pStream, *pProp);
    WithBufferErrors([&] {
        r.ReadHeader();
        int dir = DIR_IFD0;
        do {
            const int n = r.ReadCount();
            for (int i = 0; i < n; ++i) {
                const ReadPass::Entry e = r.ReadEntry();
                if (dir == DIR_IFD1) {
                    if (bThumbnail) r.ThumbnailRule(e);
                } else if (dir != DIR_IFD0) {
                    continue;
                } else if (e.tag == TAG_IMAGE_DESCRIPTION) {
                    unsigned char field[4] = {e.field[0], e.field[1], e.field[2], e.field[3]};
                    GetStringItem(pProp->bImageDescription, pProp->strImageDescription, pStream,
                                  ReadPass::Count(e.count), r.Rel(e.value), field);
                } else if (e.tag == TAG_EXIF_POINTER || e.tag == TAG_GPS_POINTER) {
                    int k;
                    const uint32_t offset = r.AddPointer(e, k);
                    if (offset == 0) continue;
                    if (e.tag == TAG_GPS_POINTER) {
                        r.WalkSubDirectory(
                            offset, [&r](const ReadPass::Entry& se) { r.GpsEntry(se, true); });
                        r.FinishGps(false);
                    } else {
                        r.WalkSubDirectory(offset, [&r, pProp](const ReadPass::Entry& se) {
                            if (se.tag == TAG_DATE_TIME_ORIGINAL)
                                r.DateRule(se, pProp->bDateTimeOriginal, pProp->tmDateTimeOriginal);
                            else if (se.tag == TAG_USER_COMMENT)
                                r.CommentRule(se, pProp->bUserComment, pProp->strUserComment);
                        });
                    }
                }
            }
        } while (r.NextDirectory(dir));
        if (bThumbnail) r.ExtractThumbnail();
        r.Finish(nLength);
    });
}
