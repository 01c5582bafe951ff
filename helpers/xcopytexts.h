#pragma once

// What xcopy prints.
namespace dravex::xcopytexts {

inline constexpr const char *kMissingDestination = "缺少目标驱动器，应为 源文件夹\\*.* X:\\.开关：";
inline constexpr const char *kBadSource = "源应为 文件夹\\*.*：";
inline constexpr const char *kBadDestination = "目标应为 X:\\. 加开关：";
inline constexpr const char *kBadSwitch = "无效的开关：";
inline constexpr const char *kSourceNotFound = "找不到源文件夹：";
inline constexpr const char *kDestinationNotReady = "目标驱动器没有可用的文件系统：";
inline constexpr const char *kCannotList = "无法列出文件夹：";
inline constexpr const char *kCannotRead = "无法读取：";
inline constexpr const char *kCannotCreateFolder = "无法创建文件夹：";
inline constexpr const char *kCannotWrite = "无法写入：";
inline constexpr const char *kSameFile = "源与目标是同一文件：";
inline constexpr const char *kSourceChanged = "复制时源文件改变了：";
inline constexpr const char *kVerifyFailed = "校验失败：";
inline constexpr const char *kCaseCollision = "文件名仅大小写不同，在U盘上会互相覆盖：";
inline constexpr const char *kCollidesWith = " 与 ";
inline constexpr const char *kArrow = " -> ";
inline constexpr const char *kFilesCopied = " 个文件已复制";
inline constexpr const char *kErrors = " 个错误";

} // namespace dravex::xcopytexts
