// Every text the calculator writes, in one place: the exact Big5 bytes a run
// writes by default, with the UTF-8 form that a run with --utf8 writes instead
// beside each (the UTF-8 literal shows the characters the bytes encode).
#ifndef LONGSQRT_CALC_TEXTS_H
#define LONGSQRT_CALC_TEXTS_H

#include "calc/encoding.h"

namespace calc::texts {

// A text with characters outside ASCII, in both encodings.
struct Text {
  const char* big5;
  const char* utf8;
  // Returns the form of this text in encoding e.
  constexpr const char* in(Encoding e) const { return e == Encoding::utf8 ? utf8 : big5; }
};

// --- Console dialogue (standard output) ----------------------------------------

// The first question: enter 1 or 0 (20 bytes in Big5).
inline constexpr Text kAskDebug{
    "\xBF\xE9\xA4\x4A"
    "1 \xA9\xCE 0, debug = ",
    "輸入1 或 0, debug = "};
// The second question: please enter an integer (18 bytes in Big5).
inline constexpr Text kAskNo{"\xBD\xD0\xBF\xE9\xA4\x4A\xA4\x40\xBE\xE3\xBC\xC6,no = ", "請輸入一整數,no = "};
// The third question: the number of decimal places (43 bytes in Big5).
inline constexpr Text kAskLength{
    "\xBD\xD0\xBF\xE9\xA4\x4A\xA4\x70\xBC\xC6\xA6\xEC\xBC\xC6\xAA\xF8\xAB\xD7(\xA8\xD2\xA6\x70length=12),"
    "length = ",
    "請輸入小數位數長度(例如length=12),length = "};
// Computing (9 bytes in Big5).
inline constexpr Text kComputing{"\xAD\x70\xBA\xE2\xA4\xA4...", "計算中..."};
// Computation finished (11 bytes in Big5).
inline constexpr Text kFinished{"\xAD\x70\xBA\xE2\xA7\xB9\xA6\xA8...", "計算完成..."};
// The wait for a key where no "pause" exists (21 bytes in Big5).
inline constexpr Text kPressAnyKey{"\xBD\xD0\xAB\xF6\xA5\xF4\xB7\x4E\xC1\xE4\xC4\x7E\xC4\xF2 . . . ",
                                   "請按任意鍵繼續 . . . "};

// --- Refusals and faults (standard error) --------------------------------------

// The answer to debug is not usable (31 bytes in Big5).
inline constexpr Text kBadDebug{
    "debug \xAA\xBA\xA6\x5E\xB5\xAA\xB5\x4C\xAE\xC4, \xA5\x75\xB1\xB5\xA8\xFC 0 \xA9\xCE 1",
    "debug 的回答無效, 只接受 0 或 1"};
// The answer to no is not usable (44 bytes in Big5).
inline constexpr Text kBadNo{
    "no \xAA\xBA\xA6\x5E\xB5\xAA\xB5\x4C\xAE\xC4, \xA5\x75\xB1\xB5\xA8\xFC 0 \xA8\xEC 2147483647 "
    "\xAA\xBA\xBE\xE3\xBC\xC6",
    "no 的回答無效, 只接受 0 到 2147483647 的整數"};
// The answer to length is not usable (58 bytes in Big5).
inline constexpr Text kBadLength{
    "length \xAA\xBA\xA6\x5E\xB5\xAA\xB5\x4C\xAE\xC4, \xA5\x75\xB1\xB5\xA8\xFC -2147483648 \xA8\xEC "
    "2147483647 \xAA\xBA\xBE\xE3\xBC\xC6",
    "length 的回答無效, 只接受 -2147483648 到 2147483647 的整數"};
// The input ended before the answer to debug (31 bytes in Big5).
inline constexpr Text kEndedBeforeDebug{
    "\xBF\xE9\xA4\x4A\xA6\x62 debug \xAA\xBA\xA6\x5E\xB5\xAA\xA4\xA7\xAB\x65\xB4\x4E\xB5\xB2\xA7\xF4\xA4\x46",
    "輸入在 debug 的回答之前就結束了"};
// The input ended before the answer to no (28 bytes in Big5).
inline constexpr Text kEndedBeforeNo{
    "\xBF\xE9\xA4\x4A\xA6\x62 no \xAA\xBA\xA6\x5E\xB5\xAA\xA4\xA7\xAB\x65\xB4\x4E\xB5\xB2\xA7\xF4\xA4\x46",
    "輸入在 no 的回答之前就結束了"};
// The input ended before the answer to length (32 bytes in Big5).
inline constexpr Text kEndedBeforeLength{
    "\xBF\xE9\xA4\x4A\xA6\x62 length "
    "\xAA\xBA\xA6\x5E\xB5\xAA\xA4\xA7\xAB\x65\xB4\x4E\xB5\xB2\xA7\xF4\xA4\x46",
    "輸入在 length 的回答之前就結束了"};
// Out of memory, the computation stops (20 bytes in Big5).
inline constexpr Text kOutOfMemory{
    "\xB0\x4F\xBE\xD0\xC5\xE9\xA4\xA3\xA8\xAC, \xAD\x70\xBA\xE2\xA4\xA4\xA4\xEE", "記憶體不足, 計算中止"};
// Reading the answers failed; the system's reason follows (12 bytes in Big5).
inline constexpr Text kReadFailed{"\xC5\xAA\xA8\xFA\xBF\xE9\xA4\x4A\xA5\xA2\xB1\xD1", "讀取輸入失敗"};

// A message that names the log: before, the log's name, after.
struct LogText {
  Text before;
  Text after;
};

// The log cannot be opened; the reason follows (15 bytes in Big5, then the name).
inline constexpr LogText kLogOpenFailed{
    {"\xB5\x4C\xAA\x6B\xB6\x7D\xB1\xD2\xB0\x4F\xBF\xFD\xC0\xC9 ", "無法開啟記錄檔 "}, {"", ""}};
// The log cannot be written, the computation stops; the reason follows (11
// bytes in Big5, the name, 15 bytes).
inline constexpr LogText kLogWriteFailed{
    {"\xBC\x67\xA4\x4A\xB0\x4F\xBF\xFD\xC0\xC9 ", "寫入記錄檔 "},
    {" \xA5\xA2\xB1\xD1, \xAD\x70\xBA\xE2\xA4\xA4\xA4\xEE", " 失敗, 計算中止"}};
// Another run is using the log (25 bytes in Big5, then the name).
inline constexpr LogText kLogHeld{
    {"\xA5\x74\xA4\x40\xAD\xD3\xB0\xF5\xA6\xE6\xA5\xBF\xA6\x62\xA8\xCF\xA5\xCE\xB0\x4F\xBF\xFD\xC0\xC9 ",
     "另一個執行正在使用記錄檔 "},
    {"", ""}};
// Reading the log back failed; the reason follows (11 bytes in Big5, the name, 5 bytes).
inline constexpr LogText kLogReadFailed{{"\xC5\xAA\xA8\xFA\xB0\x4F\xBF\xFD\xC0\xC9 ", "讀取記錄檔 "},
                                        {" \xA5\xA2\xB1\xD1", " 失敗"}};
// The log is not one this run can continue; its first wrong line follows (7
// bytes in Big5, the name, 9 bytes).
inline constexpr LogText kLogNotResumable{{"\xB0\x4F\xBF\xFD\xC0\xC9 ", "記錄檔 "},
                                          {" \xB5\x4C\xAA\x6B\xB1\xB5\xC4\xF2", " 無法接續"}};
// The reason the log cannot be opened when its name is a symbolic link to
// nothing: the file the link points to does not exist (24 bytes in Big5).
inline constexpr Text kDanglingLink{
    "\xB2\xC5\xB8\xB9\xB3\x73\xB5\xB2\xAB\xFC\xA6\x56\xAA\xBA\xC0\xC9\xAE\xD7\xA4\xA3\xA6\x73\xA6\x62",
    "符號連結指向的檔案不存在"};

// The reason a log is refused when it is the run's own standard input (20
// bytes in Big5): it is this program's standard input.
inline constexpr Text kLogIsInput{
    "\xa5\xa6\xac\x4f\xa5\xbb\xb5\x7b\xa6\xa1\xaa\xba\xbc\xd0\xb7\xc7\xbf\xe9\xa4\x4a",
    "它是本程式的標準輸入"};
// ... or its standard output or error (30 bytes in Big5).
inline constexpr Text kLogIsOutput{
    "\xa5\xa6\xac\x4f\xa5\xbb\xb5\x7b\xa6\xa1\xaa\xba\xbc\xd0\xb7\xc7\xbf\xe9\xa5\x58\xa9\xce\xbc\xd0\xb7\xc7"
    "\xbf\xf9\xbb\x7e",
    "它是本程式的標準輸出或標準錯誤"};

// --- Notes on a terminal's standard error ------------------------------------------

// What follows the root shown at the end of a run: the log's name (7 bytes in
// Big5, then the name).
inline constexpr LogText kLogShown{{"\xb0\x4f\xbf\xfd\xc0\xc9 ", "記錄檔 "}, {"", ""}};
// An interrupted run's note: computation interrupted, the log (17 bytes in
// Big5, the name, 6 bytes) holds ...
inline constexpr LogText kInterrupted{
    {"\xad\x70\xba\xe2\xa4\xa4\xc2\x5f: \xb0\x4f\xbf\xfd\xc0\xc9 ", "計算中斷: 記錄檔 "},
    {" \xab\x4f\xa6\xb3 ", " 保有 "}};
// ... that many whole decimal places; to continue, run (27 bytes in Big5) ...
inline constexpr Text kInterruptedPlaces{
    " \xa6\xec\xa7\xb9\xbe\xe3\xaa\xba\xa4\x70\xbc\xc6, \xb1\xb5\xc4\xf2\xbd\xd0\xb0\xf5\xa6\xe6: ",
    " 位完整的小數, 接續請執行: "};
// ... the command, then for a run that asked its questions: and answer (8
// bytes in Big5), followed by the answers.
inline constexpr Text kAnswerAgain{" \xa8\xc3\xa6\x5e\xb5\xaa ", " 並回答 "};

// --- Run log -------------------------------------------------------------------

// The case-1 trace's first line (21 bytes in Big5).
inline constexpr Text kCase1{"(1) x > noScaled \xA6\xA8\xA5\xDF", "(1) x > noScaled 成立"};
// The limit block's first line (10 bytes in Big5).
inline constexpr Text kLimit{"===\xB7\xA5\xAD\xAD===", "===極限==="};
// The limit block's second line (31 bytes in Big5).
inline constexpr Text kCase2{"(2) x < noScaled  && n==9  \xA6\xA8\xA5\xDF",
                             "(2) x < noScaled  && n==9  成立"};
// The result line's start, then " sqrt(" no ", " k ") = " resultText (24 bytes in Big5).
inline constexpr Text kResultPrefix{
    "sqrt(\xBE\xE3\xBC\xC6,\xA4\x70\xBC\xC6\xC2\x49\xA6\xEC\xBC\xC6) \xA1\xDD", "sqrt(整數,小數點位數) ≡"};

// Every text above, for the checks that run over all of them.
inline constexpr const Text* kAll[] = {
    &kAskDebug,
    &kAskNo,
    &kAskLength,
    &kComputing,
    &kFinished,
    &kPressAnyKey,
    &kBadDebug,
    &kBadNo,
    &kBadLength,
    &kEndedBeforeDebug,
    &kEndedBeforeNo,
    &kEndedBeforeLength,
    &kOutOfMemory,
    &kReadFailed,
    &kLogOpenFailed.before,
    &kLogWriteFailed.before,
    &kLogWriteFailed.after,
    &kLogHeld.before,
    &kLogReadFailed.before,
    &kLogReadFailed.after,
    &kLogNotResumable.before,
    &kLogNotResumable.after,
    &kDanglingLink,
    &kLogIsInput,
    &kLogIsOutput,
    &kLogShown.before,
    &kInterrupted.before,
    &kInterrupted.after,
    &kInterruptedPlaces,
    &kAnswerAgain,
    &kCase1,
    &kLimit,
    &kCase2,
    &kResultPrefix,
};

// --- Texts in ASCII, the same bytes in either encoding ---------------------------

// "input = " (8 bytes), followed by the radicand.
inline constexpr char kInput[] = "input = ";
// The point between the integer part and the decimals of a result.
inline constexpr char kPoint[] = ".";
// The run log's file name, in the current directory; the messages about the
// log name it between their two parts.
inline constexpr char kLogFileName[] = "log.txt";
// Candidate trace, line 1: " n = " n ", rootStrNew= " rootStrNew
inline constexpr char kTraceN[] = " n = ";
inline constexpr char kTraceRootStrNew[] = ", rootStrNew= ";
// Trace lines showing the scaled radicand and a square; both labels are 11 bytes.
inline constexpr char kNoScaledLabel[] = "noScaled = ";
inline constexpr char kXLabel[] = "x        = ";
// The rest of the result line after kResultPrefix.
inline constexpr char kResultSqrt[] = " sqrt(";
inline constexpr char kResultComma[] = ", ";
inline constexpr char kResultEquals[] = ") = ";
// The separator after each result record: 31 "=" characters.
inline constexpr char kSeparator[] = "===============================";

}  // namespace calc::texts

#endif  // LONGSQRT_CALC_TEXTS_H
