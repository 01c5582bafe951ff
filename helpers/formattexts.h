#pragma once

// What format.com prints.
namespace dravex::formattexts {

inline constexpr const char *kBadLetter = "驱动器号无效，应为 X: 的形式：";
inline constexpr const char *kMissingYes = "命令行必须以 /y 结尾：";
inline constexpr const char *kMissingFileSystem = "缺少 /FS:文件系统：";
inline constexpr const char *kUnknownFileSystem = "未知的文件系统：";
inline constexpr const char *kNtfsUnsupported = "不支持 NTFS 文件系统";
inline constexpr const char *kBadSwitch = "无效的开关：";
inline constexpr const char *kLabelSlash = "卷标不能含有 /：";
inline constexpr const char *kFatLabelTooLong = "FAT 卷标最长 11 个字节（汉字占 2 个字节）：";
inline constexpr const char *kFatLabelCharacters =
    "FAT 卷标不能含有控制字符、*?.,;:/\\|+=<>[]\" 和 GBK 以外的字符：";
inline constexpr const char *kExfatLabelCharacters = "exFAT 卷标不能含有控制字符：";
inline constexpr const char *kExfatLabelTooLong = "exFAT 卷标最长 11 个字符：";
inline constexpr const char *kNoDevice = "找不到卷的设备：";
inline constexpr const char *kCannotOpen = "无法打开设备：";
inline constexpr const char *kNoWriteAccess = "没有写入权限，或设备只读：";
inline constexpr const char *kTooSmall = "磁盘太小，无法格式化为 ";
inline constexpr const char *kTooLarge = "磁盘太大，无法格式化为 ";
inline constexpr const char *kCapacity = "：容量 ";
inline constexpr const char *kAtLeast = "，至少需要 ";
inline constexpr const char *kAtMost = "，最多 ";
inline constexpr const char *kBytes = " 字节";
inline constexpr const char *kZeroFailed = "写入设备失败：";
inline constexpr const char *kMkfsFailed = "创建文件系统失败：";
inline constexpr const char *kLabelFailed = "写入卷标失败：";
inline constexpr const char *kMkfsMissing = "无法启动：";
inline constexpr const char *kZeroing = "正在清零 ";
inline constexpr const char *kPercent = "已完成 ";
inline constexpr const char *kCreating = "正在创建文件系统 ";
inline constexpr const char *kMounted = "已挂载到 ";
inline constexpr const char *kNotMounted = "文件系统已创建，但未能重新挂载：";
inline constexpr const char *kDone = "格式化完成。";

} // namespace dravex::formattexts
