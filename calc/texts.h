// Every text the calculator writes, as the exact Big5 bytes it puts on the
// console, on standard error and in the run log (the characters they encode
// stand in the comment beside each).
#ifndef LONGSQRT_CALC_TEXTS_H
#define LONGSQRT_CALC_TEXTS_H

namespace calc::texts {

// --- Console dialogue (standard output) --------------------------------------

// "輸入1 或 0, debug = " (20 bytes)
inline constexpr char kAskDebug[] =
    "\xBF\xE9\xA4\x4A"
    "1 \xA9\xCE 0, debug = ";
// "請輸入一整數,no = " (18 bytes)
inline constexpr char kAskNo[] = "\xBD\xD0\xBF\xE9\xA4\x4A\xA4\x40\xBE\xE3\xBC\xC6,no = ";
// "請輸入小數位數長度(例如length=12),length = " (43 bytes)
inline constexpr char kAskLength[] =
    "\xBD\xD0\xBF\xE9\xA4\x4A\xA4\x70\xBC\xC6\xA6\xEC\xBC\xC6\xAA\xF8\xAB\xD7(\xA8\xD2\xA6\x70length=12),"
    "length = ";
// "計算中..." (9 bytes)
inline constexpr char kComputing[] = "\xAD\x70\xBA\xE2\xA4\xA4...";
// "input = " (8 bytes), followed by the radicand
inline constexpr char kInput[] = "input = ";
// "計算完成..." (11 bytes)
inline constexpr char kFinished[] = "\xAD\x70\xBA\xE2\xA7\xB9\xA6\xA8...";
// "請按任意鍵繼續 . . . " (21 bytes): the wait for a key where no "pause" exists
inline constexpr char kPressAnyKey[] = "\xBD\xD0\xAB\xF6\xA5\xF4\xB7\x4E\xC1\xE4\xC4\x7E\xC4\xF2 . . . ";

// --- Refusals and faults (standard error) -------------------------------------

// "debug 的回答無效, 只接受 0 或 1"
inline constexpr char kBadDebug[] =
    "debug \xAA\xBA\xA6\x5E\xB5\xAA\xB5\x4C\xAE\xC4, \xA5\x75\xB1\xB5\xA8\xFC 0 \xA9\xCE 1";
// "no 的回答無效, 只接受 0 到 2147483647 的整數"
inline constexpr char kBadNo[] =
    "no \xAA\xBA\xA6\x5E\xB5\xAA\xB5\x4C\xAE\xC4, \xA5\x75\xB1\xB5\xA8\xFC 0 \xA8\xEC 2147483647 "
    "\xAA\xBA\xBE\xE3\xBC\xC6";
// "length 的回答無效, 只接受 -2147483648 到 2147483647 的整數"
inline constexpr char kBadLength[] =
    "length \xAA\xBA\xA6\x5E\xB5\xAA\xB5\x4C\xAE\xC4, \xA5\x75\xB1\xB5\xA8\xFC -2147483648 \xA8\xEC "
    "2147483647 \xAA\xBA\xBE\xE3\xBC\xC6";
// "無法開啟記錄檔 log.txt"
inline constexpr char kLogOpenFailed[] = "\xB5\x4C\xAA\x6B\xB6\x7D\xB1\xD2\xB0\x4F\xBF\xFD\xC0\xC9 log.txt";
// "寫入記錄檔 log.txt 失敗, 計算中止"
inline constexpr char kLogWriteFailed[] =
    "\xBC\x67\xA4\x4A\xB0\x4F\xBF\xFD\xC0\xC9 log.txt \xA5\xA2\xB1\xD1, \xAD\x70\xBA\xE2\xA4\xA4\xA4\xEE";

// --- Run log -------------------------------------------------------------------

// The point between the integer part and the decimals of a result.
inline constexpr char kPoint[] = ".";
// The run log's file name, in the current directory.
inline constexpr char kLogFileName[] = "log.txt";

// Candidate trace, line 1: " n = " n ", rootStrNew= " rootStrNew
inline constexpr char kTraceN[] = " n = ";
inline constexpr char kTraceRootStrNew[] = ", rootStrNew= ";
// Trace lines showing the scaled radicand and a square; both labels are 11 bytes.
inline constexpr char kNoScaledLabel[] = "noScaled = ";
inline constexpr char kXLabel[] = "x        = ";
// "(1) x > noScaled 成立" (21 bytes): the case-1 trace's first line
inline constexpr char kCase1[] = "(1) x > noScaled \xA6\xA8\xA5\xDF";
// "===極限===" (10 bytes): the limit block's first line
inline constexpr char kLimit[] = "===\xB7\xA5\xAD\xAD===";
// "(2) x < noScaled  && n==9  成立" (31 bytes): the limit block's second line
inline constexpr char kCase2[] = "(2) x < noScaled  && n==9  \xA6\xA8\xA5\xDF";
// "sqrt(整數,小數點位數) ≡" (24 bytes), then " sqrt(" no ", " k ") = " resultText
inline constexpr char kResultPrefix[] =
    "sqrt(\xBE\xE3\xBC\xC6,\xA4\x70\xBC\xC6\xC2\x49\xA6\xEC\xBC\xC6) \xA1\xDD";
inline constexpr char kResultSqrt[] = " sqrt(";
inline constexpr char kResultComma[] = ", ";
inline constexpr char kResultEquals[] = ") = ";
// The separator after each result record: 31 "=" characters.
inline constexpr char kSeparator[] = "===============================";

}  // namespace calc::texts

#endif  // LONGSQRT_CALC_TEXTS_H
