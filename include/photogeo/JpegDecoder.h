// CJpegDecoder: decodes a baseline or spectral-selection progressive JPEG image held in memory
// into a 24-bit bottom-up BGR bitmap supplied by the caller, and reports an image's properties
// without decoding it.
//
// Use: construct, SetJpegData (or GetProperty), GetPictData to size the bitmap, DoDecode. To reuse
// an object for another image call RemoveAll and then CleanMembers first.
//
// Output bitmap: three bytes per pixel in the order blue, green, red; each row occupies
// stride = ((3 * width + 3) / 4) * 4 bytes; rows are stored bottom-up (image row y, 0 at the top,
// starts at byte (height - 1 - y) * stride). The caller provides stride * height bytes; the
// decoder writes only the first 3 * width bytes of each row and never the row padding.
//
// Results of the public operations: 0 success; -1 out of memory, a table index or size out of
// range while decoding, or data ending inside the entropy-coded data; -2 malformed data or a
// construct the decoder does not handle (arithmetic coding, lossless and hierarchical frames,
// frames of 2 or 4 components, successive approximation, sampling layouts other than integer
// ratios of the largest factors, scans of more than three components).
//
// Limits: a progressive image keeps every coefficient until its last scan; its coefficient
// stores are refused (-1) when together they would exceed the coefficient limit (SetLimits;
// kMaxCoefficientInts ints unless set). Baseline decoding
// needs only one MCU of samples whatever the image size. Progressive files decode when their
// scans are a DC scan of all components followed by groups of one AC scan per component, the
// last group ending at coefficient 63; restart markers are honoured in baseline scans only.
// A marker must follow its 0xFF directly (a 0xFF 0xFF pair reads as an invalid marker, -2).
//
// Entropy-coded segments: every segment (the data of a scan, and the data after each restart
// marker) is checked for a stuffed 0xFF 0x00 at its very first byte, so that a segment that starts
// with a data byte 0xFF stays in step. CInBitStream::GetBits alone never checks the byte it starts
// on; the decoder makes that check itself at each segment start (deliberately, since encoders
// write such segments after restart markers over flat areas at fine quantisation).
//
// Sampling: a component with H x V blocks per MCU and repeat factors hf = Hmax / H,
// vf = Vmax / V has its block (r, k) replicated into the MCU's plane from row 8 * vf * r and
// column 8 * hf * k, so that layouts where a subsampled component has several blocks per MCU
// (luminance 4x1 with chroma 2x1) decode like any other; for layouts whose factors are 1 or the
// maximum this is the plain (8r, 8k) corner.
//
// Full decoding (SetFullDecoding, off by default, before SetJpegData): also extended sequential
// frames (0xC1, 8-bit samples, Huffman coding), every progressive scan script (successive
// approximation in DC and AC scans, DC scans of some of the components, restart intervals in
// progressive scans, scans in any order up to the end-of-image marker) and sequential images
// split into several scans. Coefficient stores then grow by rows of blocks as non-zero data
// arrives, within the coefficient limit. Each block's changes are stored once the block has been
// read whole. When such an image fails after its first scan began, the coefficients read so far
// are transformed and written (IsPartial() true) before DoDecode returns the failure.
//
// Analysis flags (m_nFlag) are never cleared by SetJpegData or GetProperty: a second analysis on
// the same object stops after its first segment unless RemoveAll and CleanMembers ran before.
//
// The object is not thread-safe; the data passed to SetJpegData or GetProperty is read in place
// and must stay valid and unchanged until DoDecode has returned.
#ifndef PHOTOGEO_JPEGDECODER_H
#define PHOTOGEO_JPEGDECODER_H

#include "photogeo/Export.h"

class CInBitStream;
class CWnd;
typedef unsigned int UINT;

// Image properties, identical in order and width to the leading members of CJpegDecoder.
struct PHOTOGEO_API SJpegProperty {
    int m_nFrameType;   // start-of-frame code: 0xC0 baseline, 0xC2 progressive, 0 none
    int m_nFlag;        // 1 Huffman table, 2 quantisation table, 4 JFIF, 8 comment, 16 scan
    int m_nWidth;       // samples per line
    int m_nHeight;      // lines
    int m_nComponents;  // 1 (greyscale) or 3 (YCbCr)
    int m_nPrecision;   // bits per sample
    char* m_pComment;   // NUL-terminated comment owned by the decoder, or null
    int m_nJfifType;    // 0 none, 1 JFIF, 2 JFXX
    unsigned char m_byVersion[2];  // JFIF major, minor
    int m_nUnits;                  // JFIF density units
    int m_nXDensity[1];
    int m_nYDensity[1];
    int m_nThumbWidth;  // JFIF thumbnail size in pixels
    int m_nThumbHeight;
    int m_nJfxxCode;     // JFXX extension code
    int* m_pQuantCopy;   // 128 ints handed out by GetProperty; the caller frees with delete[]
    int m_nReserved[2];  // always 0
};

// One frame component: identifier, sampling factors and quantisation table selector.
struct PHOTOGEO_API SJpegComponent {
    unsigned char byId;
    unsigned char byH;
    unsigned char byV;
    unsigned char byTq;
};

// One scan component: component selector, DC and AC Huffman table selectors.
struct PHOTOGEO_API SJpegScanComponent {
    unsigned char byCs;
    unsigned char byTd;
    unsigned char byTa;
};

// A Huffman table in canonical order: nCount codes, each with its length, code and value; the
// arrays are owned by the decoder and ordered by increasing code length.
struct PHOTOGEO_API SJpegHuffman {
    int nCount;
    int* pSize;
    int* pCode;
    int* pValue;
};

struct SJpegEntropy;

class PHOTOGEO_API CJpegDecoder {
public:
    // Largest total of the coefficient stores of a progressive image, in ints (one per
    // coefficient of every component): 2^28 ints, 1 GiB, for example a 268-megapixel greyscale
    // or a 179-megapixel 4:2:0 image.
    static const int kMaxCoefficientInts = 1 << 28;

    // pContinue: the int tested before each unit of decoding work; decoding stops quietly
    // (DoDecode returns 0) when it is 0. Null: an internal flag that stays 1.
    explicit CJpegDecoder(int* pContinue = nullptr);
    ~CJpegDecoder();

    // Resets the analysis state without freeing (call RemoveAll first): flags, Huffman table
    // records, scan header and scan component records, JFIF fields, precision, comment and reader
    // pointers, restart interval, output and buffer pointers, and the continue flag (back to the
    // internal one). Frame size, component records and quantisation tables are left for the next
    // analysis to set.
    void CleanMembers();
    // Frees the Huffman tables, the comment and the reader.
    void RemoveAll();
    // Stored only; no message is ever sent.
    void SetNotifyWnd(CWnd* pWnd, UINT nMsg);
    // Analyses the marker segments up to the first scan of the nSize bytes at pData.
    // 0 success, -1 out of memory, -2 any other failure (no start of image, unsupported frame,
    // malformed segment, data ending early).
    int SetJpegData(char* pData, int nSize);
    // As SetJpegData, then copies the properties into prop and returns 1; 0 on failure, prop
    // untouched. With bQuant non-zero, prop.m_pQuantCopy receives 128 new ints: the quantisation
    // tables of the first and second frame components in natural (row-major) order.
    int GetProperty(char* pData, int nSize, SJpegProperty& prop, int bQuant);
    void GetPictData(int& nWidth, int& nHeight);
    // Decodes the analysed image into pRGB (see the bitmap layout above). 0 also when the
    // continue flag stopped decoding; -1 or -2 on failure, when the rows already written stay
    // written (a progressive image writes nothing until its last scan has been decoded).
    // -2 at once, nothing written, when the analysis found neither tables nor a scan.
    int DoDecode(char* pRGB);
    // Frees the sample planes and coefficient stores.
    void DeleteRGB();

    // Full decoding (see above) for the next SetJpegData and DoDecode; off after construction.
    void SetFullDecoding(bool bFull) { m_bFull = bFull; }
    // Limits for DoDecode: nMaxPixels pixels (width times height; 0 for none, the default) and
    // nMaxCoefficientBytes bytes of coefficient stores (default 4 * kMaxCoefficientInts, 1 GiB).
    // An image beyond either gives -1.
    void SetLimits(long long nMaxPixels, long long nMaxCoefficientBytes) {
        m_nMaxPixels = nMaxPixels;
        m_nMaxCoefficientBytes = nMaxCoefficientBytes;
    }
    // After DoDecode: true when it failed after writing part of the bitmap (baseline rows already
    // written, or the coefficients a full decoding had read so far).
    bool IsPartial() const { return m_bPartial; }
    // After DoDecode: the text of the failure, or null.
    const char* LastError() const { return m_pszError; }

    // Leading members: exactly SJpegProperty.
    int m_nFrameType;
    int m_nFlag;
    int m_nWidth;
    int m_nHeight;
    int m_nComponents;
    int m_nPrecision;
    char* m_pComment;
    int m_nJfifType;
    unsigned char m_byVersion[2];
    int m_nUnits;
    int m_nXDensity[1];
    int m_nYDensity[1];
    int m_nThumbWidth;
    int m_nThumbHeight;
    int m_nJfxxCode;
    int* m_pQuantCopy;
    int m_nReserved[2];

    // Decoding state: the continue flag, the caller's bitmap, the per-MCU sample planes
    // (luminance, Cb, Cr), DC predictors, progressive coefficient stores, the block of samples,
    // the notify window, the current scan header, frame and scan components, Huffman and
    // quantisation tables (zig-zag order), the transform tables, the analysis state, the reader,
    // the largest sampling factors and the restart interval in MCUs.
    int* m_pContinue;
    int m_nContinue[1];
    unsigned char* m_pRGB;
    int* m_pUnit[3];
    int m_nPredDC[3];
    int* m_pCoef[3];
    int* m_pCurCoef[3];
    int m_nCoefStride[3];
    int m_nBlock[64];
    CWnd* m_pNotifyWnd;
    UINT m_nNotifyMsg;
    unsigned char m_byNs;
    unsigned char m_bySs;
    unsigned char m_bySe;
    unsigned char m_byAh;
    unsigned char m_byAl;
    SJpegComponent m_Comp[3];
    SJpegScanComponent m_ScanComp[3];
    SJpegHuffman m_Huff[2][4];
    int m_nQuant[4][64];
    double m_dCos[8][8];
    int m_nBasis[64][64];
    int m_nState;
    CInBitStream* m_pStream;
    unsigned char m_byHmax;
    unsigned char m_byVmax;
    int m_nRestart;
    bool m_bFull;
    bool m_bPartial;
    long long m_nMaxPixels;
    long long m_nMaxCoefficientBytes;
    const char* m_pszError;

protected:
    int DoAnalysis();
    int AnalysisMarker();
    int GetMarker();
    void AnalysisDHT(int nLength);
    void AnalysisDQT(int nLength);
    void AnalysisFrame();
    void AnalysisScan();
    void AnalysisJFIF();
    void AnalysisJFXX();
    void NewIntMemory(int** pp, int nCount, int nInit, const char* pszMsg);
    void CheckNotify() {}

    void Decode();
    void DecodeMCU();
    void DecodeBlock(int nComp);
    int Decode1HuffmanCode(int nClass, int nComp);
    void makeRGB(int nMcuX, int nMcuY);

    void PgDecode();
    void PgDecodeMCUDC(int nMcuX, int nMcuY);
    void PgDecodeHuffmanBlockDC(int nComp, int* pBlock);
    void PgDecodeMCUAC(int nCs, int nBlocksX, int nBlocksY);
    void PgInverseMCU(int nMcuX, int nMcuY);

private:
    bool StreamsWhole() const;
    void FullDecode();
    void FullScan();
    bool FullNextScan();
    void FullRender();
    void BuildTransformTables();
    void CheckLayout() const;
    int SegmentLength();
    void FreeEntropy();
    void EmitBlock(int nComp, int nRow, int nColumn);
    void CopyBlockToPlane(int nComp, int nRow, int nColumn);

    // Decoding state that lives only during DoDecode: the entropy reader and its lookup tables.
    SJpegEntropy* m_pEntropy;
};

#endif
