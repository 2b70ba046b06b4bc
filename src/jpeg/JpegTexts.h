// The texts that the JPEG decoder's exceptions carry, defined once so that the analysis, the
// baseline and the progressive decoders raise them by name and a text cannot drift.
#ifndef PHOTOGEO_JPEG_JPEGTEXTS_H
#define PHOTOGEO_JPEG_JPEGTEXTS_H

namespace photogeo::jpeg {

inline constexpr char kMarkerError[] = "Marker error";
// A segment whose length word is below 2 (it counts its own two bytes).
inline constexpr char kSegmentLength[] = "Segment length";
inline constexpr char kDhtLength[] = "AnalysisDHT:DHT Length";
inline constexpr char kDhtTh[] = "AnalysisDHT:Th";
inline constexpr char kDhtTc[] = "AnalysisDHT:Tc";
inline constexpr char kDhtSizeIndex[] = "AnalysisDHT:Size Table Index over";
inline constexpr char kDhtSizeMemory[] = "AnalysisDHT:Huffman Size-T";
inline constexpr char kDhtCodeMemory[] = "AnalysisDHT:Huffman Code-T";
inline constexpr char kDhtValueMemory[] = "AnalysisDHT:Huffman Value-T";
inline constexpr char kScanTd[] = "AnalysisScan:Td Over";
inline constexpr char kScanTa[] = "AnalysisScan:Ta Over";
// Layouts the decoder does not provide for, refused before anything is decoded.
inline constexpr char kScanComponents[] = "AnalysisScan:Ns Over";
inline constexpr char kFrameTq[] = "AnalysisFrame:Tq Over";
inline constexpr char kFrameSampling[] = "AnalysisFrame:Sampling factor";
inline constexpr char kNoFrame[] = "DoDecode:No frame";
inline constexpr char kCommentMemory[] = "AnalysisMarker:Comment";
inline constexpr char kDecoderMemory[] = "DoDecode:Decoder state";
inline constexpr char kNoImage[] = "DoDecode:No tables or scan";
inline constexpr char kNotSupported[] = "DoDecode:Not supported";
// Limits set by the caller.
inline constexpr char kPixelLimit[] = "DoDecode:Pixel limit";
inline constexpr char kCoefficientLimit[] = "DoDecode:Coefficient memory limit";
// Scan headers that full decoding refuses: components, band or bit positions out of range.
inline constexpr char kScanHeader[] = "FullScan:Scan header";

inline constexpr char kUnit1[] = "Disconvert unit1";
inline constexpr char kUnit2[] = "Disconvert unit2";
inline constexpr char kUnit3[] = "Disconvert unit3";
inline constexpr char kErrorMarker[] = "DecodeHuffman:Error Marker";
inline constexpr char kWrongValue[] = "DecodeHuffman:wrong Huffman value";
inline constexpr char kWrongRun[] = "DecodeHuffman:wrong Run length";
inline constexpr char kLengthOver[] = "Decode1HuffmanCode:length over";

inline constexpr char kStore0[] = "Discaonert DCT0";
inline constexpr char kStore1[] = "Discaonert DCT1";
inline constexpr char kStore2[] = "Discaonert DCT2";
inline constexpr char kErrorScanComp[] = "DecodeHuffman:Error Scan Comp";
inline constexpr char kWrongCs[] = "DecodeHuffman:wrong Cs";
inline constexpr char kUnknownMarker[] = "DecodeHuffman:Unknow Marker";

}  // namespace photogeo::jpeg

#endif
