// The fixed Japanese texts of the property listing (CExifIfdCoder::Listup): item labels,
// enumerated value texts and the unit and reference suffixes. They are held as Shift-JIS bytes,
// the encoding in which the listing hands them to the host, so no text is converted per call.
// The comments give each text in UTF-8; scripts/sjis-escape made the byte escapes from them.
#include "exifcoder/ListupText.h"

namespace photogeo::exifcoder {

const CodeText kItemLabels[] = {
    {0,
     "\x83^\x83"
     "C\x83g\x83\x8B"},              // タイトル
    {1, "\x83\x81\x81[\x83J\x81["},  // メーカー
    {2, "\x83J\x83\x81\x83\x89"},    // カメラ
    {3,
     "\x8E"
     "B\x89"
     "e\x92\x98\x8D\xEC\x8C\xA0"},      // 撮影著作権
    {4, "\x83R\x83\x81\x83\x93\x83g"},  // コメント
    {5,
     "\x8E"
     "B\x89"
     "e\x93\xFA\x95t"},  // 撮影日付
    {6,
     "\x8F"
     "C\x90\xB3\x93\xFA\x95t"},                      // 修正日付
    {7, "\x83\x8C\x83\x93\x83Y"},                    // レンズ
    {8, "\x88\xDC\x93x"},                            // 緯度
    {9, "\x8Co\x93x"},                               // 経度
    {10, "\x95W\x8D\x82"},                           // 標高
    {11, "\x91\xAA\x92n\x8Cn"},                      // 測地系
    {12, "\x95\xFB\x88\xCA"},                        // 方位
    {13, "\x95\xD2\x8FW\x92\x98\x8D\xEC\x8C\xA0"},   // 編集著作権
    {101, "GPSIFD\x83o\x81[\x83W\x83\x87\x83\x93"},  // GPSIFDバージョン
    {102, "GPS\x8E\x9E\x8D\x8F"},                    // GPS時刻
    {103, "\x89q\x90\xAF\x8F\xEE\x95\xF1"},          // 衛星情報
    {104,
     "GPS\x83X\x83"
     "e\x81[\x83^\x83X"},                                      // GPSステータス
    {105, "GPS\x91\xAA\x88\xCA\x83\x82\x81[\x83h"},            // GPS測位モード
    {106, "GPS DOP\x92l"},                                     // GPS DOP値
    {107, "GPS\x88\xDA\x93\xAE\x91\xAC\x93x"},                 // GPS移動速度
    {108, "GPS\x90i\x8Ds\x95\xFB\x8C\xFC"},                    // GPS進行方向
    {109, "\x96\xDA\x93I\x92n\x88\xDC\x93x"},                  // 目的地緯度
    {110, "\x96\xDA\x93I\x92n\x8Co\x93x"},                     // 目的地経度
    {111, "\x96\xDA\x93I\x92n\x95\xFB\x8C\xFC"},               // 目的地方向
    {112, "\x96\xDA\x93I\x92n\x8B\x97\x97\xA3"},               // 目的地距離
    {201, "\x89\xE6\x91\x9C\x8C\xFC\x82\xAB"},                 // 画像向き
    {202, "\x89\xE6\x91\x9C\x89\xF0\x91\x9C\x93x(\x89\xA1)"},  // 画像解像度(横)
    {203,
     "\x89\xE6\x91\x9C\x89\xF0\x91\x9C\x93x(\x8F"
     "c)"},                                                           // 画像解像度(縦)
    {204, "\x83t\x83@\x81[\x83\x80\x83o\x81[\x83W\x83\x87\x83\x93"},  // ファームバージョン
    {205,
     "\x94\x92\x90"
     "F\x90"
     "F\x93x"},  // 白色色度
    {206,
     "\x8C\xB4\x90"
     "F\x90"
     "F\x93x"},                                 // 原色色度
    {207, "RGB\x95\xCF\x8A\xB7\x8CW\x90\x94"},  // RGB変換係数
    {208,
     "\x90"
     "F\x8F\xEE\x95\xF1\x83T\x83\x93\x83v\x83\x8B"},  // 色情報サンプル
    {209, "\x8D\x95\x93_/\x94\x92\x93_"},             // 黒点/白点
    {301, "\x98I\x8C\xF5\x8E\x9E\x8A\xD4"},           // 露光時間
    {302, "F\x92l"},                                  // F値
    {303, "\x98I\x8Fo\x83\x82\x81[\x83h"},            // 露出モード
    {304, "ISO\x8A\xB4\x93x"},                        // ISO感度
    {305, "Exif\x83o\x81[\x83W\x83\x87\x83\x93"},     // Exifバージョン
    {306,
     "\x83"
     "f\x83W\x83^\x83\x8B\x89\xBB\x93\xFA\x8E\x9E"},  // デジタル化日時
    {307,
     "\x83"
     "f\x81[\x83^\x95\xC0\x82\xD1"},     // データ並び
    {308, "JPEG\x88\xB3\x8Fk\x97\xA6"},  // JPEG圧縮率
    {309,
     "\x83V\x83\x83\x83"
     "b\x83^\x81[\x91\xAC\x93x"},                                           // シャッター速度
    {310, "\x8Di\x82\xE8\x92l"},                                            // 絞り値
    {311, "\x91\xCE\x8F\xDB\x95\xA8\x96\xBE\x82\xE9\x82\xB3"},              // 対象物明るさ
    {312, "\x98I\x8Fo\x95\xE2\x90\xB3\x92l"},                               // 露出補正値
    {313, "\x83\x8C\x83\x93\x83YF\x92l"},                                   // レンズF値
    {314, "\x94\xED\x8E\xCA\x91\xCC\x8B\x97\x97\xA3"},                      // 被写体距離
    {315, "\x8E\xA9\x93\xAE\x98I\x8Fo\x91\xAA\x8C\xF5\x83\x82\x81[\x83h"},  // 自動露出測光モード
    {316, "\x8C\xF5\x8C\xB9"},                                              // 光源
    {317,
     "\x83t\x83\x89\x83"
     "b\x83V\x83\x85"},                                           // フラッシュ
    {318, "\x83\x8C\x83\x93\x83Y\x8F\xC5\x93_\x8B\x97\x97\xA3"},  // レンズ焦点距離
    {319, "FlashPix\x83o\x81[\x83W\x83\x87\x83\x93"},             // FlashPixバージョン
    {320,
     "\x90"
     "F\x8B\xF3\x8A\xD4"},  // 色空間
    {321,
     "\x89\xE6\x91\x9C\x83T\x83"
     "C\x83Y"},  // 画像サイズ
    {322,
     "\x83T\x83"
     "E\x83\x93\x83h\x83t\x83@\x83"
     "C\x83\x8B\x96\xBC"},  // サウンドファイル名
    {323,
     "\x89\xE6\x91"
     "f\x96\xA7\x93x(\x89\xA1)"},  // 画素密度(横)
    {324,
     "\x89\xE6\x91"
     "f\x96\xA7\x93x(\x8F"
     "c)"},                     // 画素密度(縦)
    {325, "ISO\x8A\xB4\x93x"},  // ISO感度
    {326,
     "\x83"
     "C\x83\x81\x81[\x83W\x83Z\x83\x93\x83T\x81["},  // イメージセンサー
};
const int kItemLabelCount = sizeof(kItemLabels) / sizeof(kItemLabels[0]);

const CodeText kOrientation[] = {
    {1, "\x8F\xE3-\x8D\xB6"},  // 上-左
    {2,
     "\x8F\xE3-\x89"
     "E"},  // 上-右
    {3,
     "\x89\xBA-\x89"
     "E"},                     // 下-右
    {4, "\x89\xBA-\x8D\xB6"},  // 下-左
    {5, "\x8D\xB6-\x8F\xE3"},  // 左-上
    {6,
     "\x89"
     "E-\x8F\xE3"},  // 右-上
    {7,
     "\x89"
     "E-\x89\xBA"},            // 右-下
    {8, "\x8D\xB6-\x89\xBA"},  // 左-下
};
const int kOrientationCount = sizeof(kOrientation) / sizeof(kOrientation[0]);

const CodeText kExposureProgram[] = {
    {1,
     "\x83}\x83j\x83\x85\x83"
     "A\x83\x8B"},  // マニュアル
    {2,
     "\x83v\x83\x8D\x83O\x83\x89\x83\x80\x82`\x82"
     "d"},  // プログラムＡＥ
    {3,
     "\x8Di\x82\xE8\x97"
     "D\x90\xE6"},  // 絞り優先
    {4,
     "\x83V\x83\x83\x83"
     "b\x83^\x81[\x97"
     "D\x90\xE6"},                                              // シャッター優先
    {5, "\x92\xE1\x91\xAC\x83v\x83\x8D\x83O\x83\x89\x83\x80"},  // 低速プログラム
    {6, "\x8D\x82\x91\xAC\x83v\x83\x8D\x83O\x83\x89\x83\x80"},  // 高速プログラム
    {7, "\x83|\x81[\x83g\x83\x8C\x81[\x83g"},                   // ポートレート
    {8, "\x95\x97\x8Ci\x83\x82\x81[\x83h"},                     // 風景モード
};
const int kExposureProgramCount = sizeof(kExposureProgram) / sizeof(kExposureProgram[0]);

const CodeText kMeteringMode[] = {
    {0, "\x95s\x96\xBE"},                     // 不明
    {1, "\x95\xBD\x8B\xCF\x91\xAA\x8C\xF5"},  // 平均測光
    {2,
     "\x92\x86\x89\x9B\x8F"
     "d\x93_\x91\xAA\x8C\xF5"},  // 中央重点測光
    {3,
     "\x83X\x83|\x83"
     "b\x83g\x91\xAA\x8C\xF5"},  // スポット測光
    {4,
     "\x91\xBD\x93_\x83X\x83|\x83"
     "b\x83g\x91\xAA\x8C\xF5"},  // 多点スポット測光
    {5,
     "\x83}\x83\x8B\x83`\x83Z\x83O\x83\x81\x83\x93\x83g\x91\xAA\x8C\xF5"},  // マルチセグメント測光
    {6, "\x95\x94\x95\xAA\x91\xAA\x8C\xF5"},                                // 部分測光
    {255, "\x82\xBB\x82\xCC\x91\xBC"},                                      // その他
};
const int kMeteringModeCount = sizeof(kMeteringMode) / sizeof(kMeteringMode[0]);

const CodeText kLightSource[] = {
    {0, "\x95s\x96\xBE"},          // 不明
    {1, "\x92\x8B\x8C\xF5"},       // 昼光
    {2, "\x8Cu\x8C\xF5\x93\x94"},  // 蛍光灯
    {3,
     "\x94\x92\x94M\x93"
     "d\x8B\x85"},  // 白熱電球
    {10,
     "\x83t\x83\x89\x83"
     "b\x83V\x83\x85"},  // フラッシュ
    {17,
     "\x95W\x8F\x80\x83\x89\x83"
     "C\x83gA"},  // 標準ライトA
    {18,
     "\x95W\x8F\x80\x83\x89\x83"
     "C\x83gB"},  // 標準ライトB
    {19,
     "\x95W\x8F\x80\x83\x89\x83"
     "C\x83gC"},                        // 標準ライトC
    {20, "D55"},                        // D55
    {21, "D65"},                        // D65
    {22, "D75"},                        // D75
    {255, "\x82\xBB\x82\xCC\x91\xBC"},  // その他
};
const int kLightSourceCount = sizeof(kLightSource) / sizeof(kLightSource[0]);

const CodeText kFlash[] = {
    {0, "\x82\xC8\x82\xB5"},                                                 // なし
    {1, "\x94\xAD\x8C\xF5"},                                                 // 発光
    {5, "\x94\xAD\x8C\xF5(\x94\xBD\x8E\xCB\x8C\xF5\x96\xA2\x8C\x9F\x8Fo)"},  // 発光(反射光未検出)
    {7, "\x94\xAD\x8C\xF5(\x94\xBD\x8E\xCB\x8C\xF5\x8C\x9F\x8Fo)"},  // 発光(反射光検出)
};
const int kFlashCount = sizeof(kFlash) / sizeof(kFlash[0]);

const CodeText kSensingMethod[] = {
    {1, "\x96\xA2\x92\xE8\x8B`"},  // 未定義
    {2,
     "1\x83`\x83"
     "b\x83v\x83J\x83\x89\x81[\x83G\x83\x8A\x83"
     "A\x83Z\x83\x93\x83T\x81["},  // 1チップカラーエリアセンサー
    {3,
     "2\x83`\x83"
     "b\x83v\x83J\x83\x89\x81[\x83G\x83\x8A\x83"
     "A\x83Z\x83\x93\x83T\x81["},  // 2チップカラーエリアセンサー
    {4,
     "3\x83`\x83"
     "b\x83v\x83J\x83\x89\x81[\x83G\x83\x8A\x83"
     "A\x83Z\x83\x93\x83T\x81["},  // 3チップカラーエリアセンサー
    {5,
     "\x83J\x83\x89\x81[\x83V\x81[\x83N\x83"
     "F\x83\x93\x83V\x83\x83\x83\x8B\x83G\x83\x8A\x83"
     "A\x83Z\x83\x93\x83T\x81["},  // カラーシークェンシャルエリアセンサー
    {6, "\x96\xA2\x92\xE8\x8B`"},  // 未定義
    {7,
     "\x83g\x83\x8A\x83\x8A\x83j\x83"
     "A\x83Z\x83\x93\x83T\x81["},  // トリリニアセンサー
    {8,
     "\x83J\x83\x89\x81[\x83V\x83N\x83"
     "F\x83\x93\x83V\x83\x83\x83\x8B\x83\x8A\x83j\x83"
     "A\x83Z\x83\x93\x83T\x81["},  // カラーシクェンシャルリニアセンサー
};
const int kSensingMethodCount = sizeof(kSensingMethod) / sizeof(kSensingMethod[0]);

const CodeText kComponents[] = {
    {1, "Y"}, {2, "Cb"}, {3, "Cr"}, {4, "R"}, {5, "G"}, {6, "B"},
};
const int kComponentsCount = sizeof(kComponents) / sizeof(kComponents[0]);

const char kDegreeSuffix[] = "\x93x";                        // 度
const char kTrueNorth[] = "(\x90^\x95\xFB\x88\xCA)";         // (真方位)
const char kMagneticNorth[] = "(\x8E\xA5\x95\xFB\x88\xCA)";  // (磁方位)
const char kGPSMeasuring[] = "\x91\xAA\x88\xCA";             // 測位
const char kGPSInterrupted[] = "\x94\xF1\x91\xAA\x88\xCA";   // 非測位
const char kMeasure2D[] = "2D\x91\xAA\x88\xCA";              // 2D測位
const char kMeasure3D[] = "3D\x91\xAA\x88\xCA";              // 3D測位
const char kCentered[] = "\x92\x86\x89\x9B";                 // 中央
const char kCosited[] = "\x8C\xB4\x93_";                     // 原点
const char kSecondSuffix[] =
    "\x95"
    "b";                                              // 秒
const char kInfinity[] = "\x96\xB3\x8C\xC0\x89\x93";  // 無限遠
const char kUnknown[] = "\x95s\x96\xBE";              // 不明

const char* FindCodeText(const CodeText* pTable, int nCount, int nCode) {
    for (int i = 0; i < nCount; ++i)
        if (pTable[i].code == nCode) return pTable[i].text;
    return nullptr;
}

}  // namespace photogeo::exifcoder
