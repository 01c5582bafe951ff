#pragma once

#include <string>

namespace dravex {

// A FAT label as the volume stores it, the way Windows writes one on a Chinese system: ASCII letters
// upper-cased, the text in code page 936, at most 11 bytes.
struct FatLabel {
    enum class Fault { None, TooLong, Characters };
    std::string bytes; // when fault is None
    Fault fault = Fault::None;
};

// The UTF-8 label as FAT would hold it. Characters: a control character, one of *?.,;:/\|+=<>[]" or one
// that code page 936 lacks.
FatLabel fatLabel(const std::string &utf8);

// Writes a FAT label of at most 11 bytes straight into the file system on device (a block device or an
// image file): the boot sector's field, its FAT32 backup's, and the root folder's label entry, which is
// made when there is none. False when device holds no FAT this understands or a write fails.
bool writeFatLabel(const std::string &device, const std::string &bytes);

} // namespace dravex
