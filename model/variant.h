#pragma once

namespace dravex {

// The two builds of the tool differ only in the window caption and in the capacity cell.
enum class Variant { V2, Pelmora };

} // namespace dravex
