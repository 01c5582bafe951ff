#pragma once

// What RemoveDrive.exe prints.
namespace dravex::removedrivetexts {

inline constexpr const char *kBadLetter = "驱动器号无效，应为 X 或 X: 的形式：";
inline constexpr const char *kFlushFailed = "无法写回缓存：";
inline constexpr const char *kPowerOffFailed = "无法断开设备：";
inline constexpr const char *kEjectFailed = "无法弹出介质：";
inline constexpr const char *kFlushing = "正在写回缓存 ";
inline constexpr const char *kUnmounting = "正在卸载 ";
inline constexpr const char *kClosingHolder = "正在关闭映射设备 ";
inline constexpr const char *kPoweredOff = "已断开设备 ";
inline constexpr const char *kEjected = "已弹出介质 ";
inline constexpr const char *kEjectedNotPoweredOff = "设备无法断开，已弹出其介质，可以拔出：";
inline constexpr const char *kEmptySlot = "读卡器插槽中没有介质，无需弹出：";

} // namespace dravex::removedrivetexts
