#pragma once

// The texts the batch operations show.
namespace dravex::opstexts {

inline constexpr const char *kErrorTitle = "错误";
inline constexpr const char *kFormatting = "格式化正在进行中，请稍候……";
inline constexpr const char *kFormatLocked = "有磁盘被写保护，格式化程序退出。";
inline constexpr const char *kFormatDone = "格式化完成";
inline constexpr const char *kCopying = "正在拷贝文件...";
inline constexpr const char *kCopyDone = "完成";
inline constexpr const char *kEjecting = "正在弹出U盘...";
inline constexpr const char *kEjectNothing = "指定处没有U盘可供卸载！";
inline constexpr const char *kEjectOnePrefix = "卸载";
inline constexpr const char *kEjectOneSuffix = "盘，请单击...";
inline constexpr const char *kEjectProgramMissing = "无法启动RemoveDrive.exe";
inline constexpr const char *kRelabelRefused = "以下U盘的卷标未能修改：";
inline constexpr const char *kCapacityStarting = "正在启动容量测试…";
inline constexpr const char *kCapacityStarted = "容量测试已启动。";
inline constexpr const char *kCapacityProgramMissing = "无法启动容量测试程序 captest。";
// A stick's write and read speeds in MB/s, in place of its used space.
inline constexpr const char *kSpeedsFormat = "写 %.1f 读 %.1f MB/s";

} // namespace dravex::opstexts
