#pragma once

// Every text the file information window shows of its own, exactly as the operators know them. The
// status line's texts come from the file browser.
namespace dravex::form3texts {

inline constexpr const char *kCaption = "Form3";
inline constexpr const char *kHeading = "文件信息";

} // namespace dravex::form3texts
