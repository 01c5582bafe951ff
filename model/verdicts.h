#pragma once

// The texts of a row's verdict cell: what the lock test, the content check and the capacity check write
// there, and what the format and relabel operations read back from it.
namespace dravex::verdicts {

inline constexpr const char *kWritable = "可读写";
inline constexpr const char *kWriteProtected = "写保护";
inline constexpr const char *kSame = "OK";
inline constexpr const char *kDifferent = "NG";
// The capacity check's outcomes; a write-protected stick reads kWriteProtected as with the lock test.
inline constexpr const char *kGenuine = "真";
inline constexpr const char *kCounterfeitPrefix = "假 "; // then the real size: "假 7.9G", "假 512M"
inline constexpr const char *kDamaged = "坏块";
inline constexpr const char *kCheckFailed = "出错";
inline constexpr const char *kNoResponse = "无响应";

} // namespace dravex::verdicts
