// The two byte forms a run writes its texts in, and the two line ends its log
// may have: what each destination of a run is told to use.
#ifndef LONGSQRT_CALC_ENCODING_H
#define LONGSQRT_CALC_ENCODING_H

namespace calc {

// The encoding a run writes its console texts, messages and log in.
enum class Encoding { big5, utf8 };

// How the lines of a log end: LF alone, or CR LF as the Windows build writes.
enum class LineEnd { lf, crLf };

}  // namespace calc

#endif  // LONGSQRT_CALC_ENCODING_H
