#pragma once

// Texts all three helper programs print.
namespace dravex::helpertexts {

inline constexpr const char *kError = "错误：";
inline constexpr const char *kPressAnyKey = "按任意键关闭窗口。";
inline constexpr const char *kNotMapped = "驱动器不存在：";
inline constexpr const char *kNotRemovable = "不是可移动磁盘，拒绝操作：";
inline constexpr const char *kNoMedium = "驱动器中没有介质：";
inline constexpr const char *kSystemMount = "磁盘含有系统分区，拒绝操作：";
inline constexpr const char *kActiveSwap = "磁盘含有正在使用的交换分区，拒绝操作：";
inline constexpr const char *kUnconfirmed = "无法读取挂载表，拒绝操作：";
inline constexpr const char *kUnmountFailed = "无法卸载卷：";
inline constexpr const char *kStacked = "磁盘上建有正在使用的映射设备，拒绝操作：";
inline constexpr const char *kOtherDisk = "盘符已指向另一个磁盘（扫描后有U盘插拔），请刷新后重试：";

} // namespace dravex::helpertexts
