#pragma once

// What the bench's helper programs print beyond the texts they share with the Linux helpers.
namespace dravex::simhelpertexts {

inline constexpr const char *kNoBench = "没有设置 DRAVEX_BENCH，找不到模拟台文件夹。";
inline constexpr const char *kFormatFailed = "无法格式化：";
inline constexpr const char *kCapacityChecked = "容量测试完成：";
inline constexpr const char *kCapacityReportFailed = "无法留下容量测试结果：";

} // namespace dravex::simhelpertexts
