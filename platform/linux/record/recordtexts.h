#pragma once

namespace dravex::recordtexts {

// Status panel 1, after the tool's own message, when the production record needs the operator's eye.
inline constexpr const char *kWaitingPrefix = "生产记录待上传：";
inline constexpr const char *kWaitingSuffix = "条";
inline constexpr const char *kSetAsidePrefix = "生产记录库已损坏，已另建新库，旧库保留为";
inline constexpr const char *kUnwritablePrefix = "生产记录无法写入：";
// Between two notes.
inline constexpr const char *kSeparator = "；";

} // namespace dravex::recordtexts
