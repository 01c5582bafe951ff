#pragma once

// The texts of a row's verdict cell: what the lock test and the content check write there, and what the
// format and relabel operations read back from it.
namespace dravex::verdicts {

inline constexpr const char *kWritable = "可读写";
inline constexpr const char *kWriteProtected = "写保护";
inline constexpr const char *kSame = "OK";
inline constexpr const char *kDifferent = "NG";

} // namespace dravex::verdicts
