#pragma once

// What captest prints.
namespace dravex::captesttexts {

inline constexpr const char *kBadLetter = "驱动器号无效，应为 X: 的形式：";
inline constexpr const char *kNoWriteAccess = "没有写入权限，或U盘被写保护，无法测试：";
inline constexpr const char *kCannotOpen = "无法打开设备：";
inline constexpr const char *kTooSmall = "U盘太小，无法测试：";
inline constexpr const char *kTesting = "正在测试 ";
inline constexpr const char *kClaimed = "，标称容量 ";
inline constexpr const char *kProbing = "正在探测实际容量…";
inline constexpr const char *kNarrowing = "正在查找实际容量的边界…";
inline constexpr const char *kTiming = "正在测量读写速度…";
inline constexpr const char *kRestoring = "正在恢复被改写的数据…";
inline constexpr const char *kGenuine = "真：实际容量与标称容量相符，";
inline constexpr const char *kCounterfeit = "假：实际容量只有 ";
inline constexpr const char *kClaimedWas = "，标称 ";
inline constexpr const char *kWraps = "超出的地址回绕到前面的存储区，写入会覆盖已有数据。";
inline constexpr const char *kDrops = "写入超出部分的数据会丢失。";
inline constexpr const char *kFails = "超出部分读写出错。";
inline constexpr const char *kDamaged = "坏块：从 ";
inline constexpr const char *kDamagedAfter = " 处起读写出错，后面仍有可用的存储区。";
inline constexpr const char *kSpeeds = "写入速度 ";
inline constexpr const char *kReadSpeed = " MB/s，读取速度 ";
inline constexpr const char *kSpeedUnit = " MB/s。";
inline constexpr const char *kNoResponse = "U盘无响应，测试中止。";
inline constexpr const char *kFailed = "测试中断：U盘读写出错，或已被拔出。";
inline constexpr const char *kRestored = "被改写的数据已全部恢复。";
inline constexpr const char *kLost = "以下区域被改写后未能恢复，原有数据可能已丢失：";
inline constexpr const char *kAreaFrom = "  从第 ";
inline constexpr const char *kAreaLength = " 字节起，共 ";
inline constexpr const char *kBytes = " 字节";
inline constexpr const char *kReportFailed = "无法把结果交给主程序：";
inline constexpr const char *kMounted = "已重新挂载到 ";

} // namespace dravex::captesttexts
