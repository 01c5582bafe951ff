#pragma once

// Every text the configuration dialog shows of its own, exactly as the operators know them.
namespace dravex::form5texts {

inline constexpr const char *kCaption = "配置选项";

inline constexpr const char *kFrame1 = "格式化及卷标修改选项";
inline constexpr const char *kLabelCaption = "卷标：";
inline constexpr const char *kLabelTip = "输入格式化后的卷标或需要修改的卷标。";
inline constexpr const char *kFileSystemCaption = "文件系统：";
inline constexpr const char *kFileSystems[] = {"FAT", "FAT32"};
inline constexpr const char *kQuickFormat = "快速格式化";

inline constexpr const char *kFrame2 = "文件拷贝选项";
inline constexpr const char *kBrowse = "浏览";

inline constexpr const char *kOk = "确定";

} // namespace dravex::form5texts
