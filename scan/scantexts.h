#pragma once

// The texts the drive scan writes into the table and the status line.
namespace dravex::scantexts {

inline constexpr const char *kLabelPrefix = "卷标:";
inline constexpr const char *kUsedPrefix = "已用:";
inline constexpr const char *kUsedSuffix = "字节";
inline constexpr const char *kUnreadablePrefix = "不能得到";
inline constexpr const char *kUnreadableSuffix = "磁盘信息";
inline constexpr const char *kSerialPrefix = "S/N:";
inline constexpr const char *kEnumerating = "列举U盘...";
inline constexpr const char *kFinishedPrefix = "列举完成...共有";
inline constexpr const char *kFinishedSuffix = "个U盘。";
inline constexpr const char *kFinishedNone = "列举完成，沒有U盘。";

} // namespace dravex::scantexts
