#pragma once

// Every text the main window shows of its own, in one place, exactly as the operators know them.
namespace dravex::form1texts {

inline constexpr const char *kCaptionV2 = "DRAVEX---Tavrin";
inline constexpr const char *kCaptionPelmora = "DRAVEX---Pelmora";

inline constexpr const char *kCommand7 = "配置  F1";
inline constexpr const char *kCommand6 = "格式化F2";
inline constexpr const char *kCommand5 = " 拷贝 F4";
inline constexpr const char *kCommand1 = "刷新  F5";
inline constexpr const char *kCommand3 = "改卷标F6";
inline constexpr const char *kCommand4 = "测锁  F7";
inline constexpr const char *kCommand2 = "弹出  F8";
inline constexpr const char *kCommand3Tip = "将所有U盘的卷标修改为默认卷标。";

inline constexpr const char *kCheck1 = "内部附有文件";
inline constexpr const char *kCheck2 = "查看VPSN";

inline constexpr const char *kEjectRowTip = "单击卸载此U盘";
inline constexpr const char *kContactPanel = "Tavrin";
inline constexpr const char *kDefaultLabelPanelTip = "默认卷标。单击此处可进行修改。";
inline constexpr const char *kContactPanelTip = "点击发送邮件与我...";
// Between the tool's message in panel 1 and the production record's note after it.
inline constexpr const char *kRecordNoteSeparator = "　";
inline constexpr const char *kNoMailProgram = "无法打开邮件程序，请发邮件至：";

inline constexpr const char *kMenuTitle = "配置(G)";
inline constexpr const char *kMenuFormat = "格式化(&F)";
inline constexpr const char *kMenuRelabel = "修改卷标(&V)";
inline constexpr const char *kMenuConfigure = "配置…(&N)";
inline constexpr const char *kMenuCopy = "复制(&C)";
inline constexpr const char *kMenuRefresh = "刷新(&R)";
inline constexpr const char *kMenuLockTest = "测锁(&L)";
inline constexpr const char *kMenuCapacity = "容量测试";
inline constexpr const char *kMenuEject = "弹出(&E)";
inline constexpr const char *kMenuExit = "退出(&X)";

// Font families the window was drawn with, and what we ship in their place on Linux: a CJK font whose
// Latin letters are half-width, as in the originals, so serial numbers and VID/PID texts fit their cells.
inline constexpr const char *kFontSong = "宋体";
inline constexpr const char *kFontNewSong = "新宋体";
inline constexpr const char *kFontSongStandIn = "Noto Sans Mono CJK SC";

} // namespace dravex::form1texts
