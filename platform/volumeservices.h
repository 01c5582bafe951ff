#pragma once

#include <cstdint>
#include <string>

namespace dravex {

// A 64-bit byte count as the free-space query delivers it: two unsigned 32-bit halves, low half first.
struct ByteCount {
    uint32_t low = 0;
    uint32_t high = 0;
};

// The drive types the tool tells apart; every other value counts as "not a disk for this tool".
constexpr unsigned kDriveNoRootDir = 1;
constexpr unsigned kDriveRemovable = 2;

// What the volume query fills. The two texts hold what the 255-byte buffers would: the text, then
// possibly a NUL and more; readers take them up to the first NUL. Texts are UTF-8.
struct VolumeInformation {
    std::string volumeName;
    uint32_t serialNumber = 0;
    uint32_t maximumComponentLength = 0;
    uint32_t fileSystemFlags = 0;
    std::string fileSystemName;
};

// The drive and volume calls the logic makes. Root paths are a letter followed by ":\", e.g. "H:\".
class VolumeServices {
public:
    virtual ~VolumeServices() = default;

    // Reads afresh which drive letters name which volumes. The scan calls it once before it walks the
    // letters; every other call answers from the list read last, so a letter keeps naming the same
    // volume between scans.
    virtual void refreshDriveList() = 0;

    // kDriveRemovable for a removable drive, kDriveNoRootDir for a letter that names nothing.
    virtual unsigned GetDriveTypeA(const std::string &rootPath) = 0;

    // On failure the three counts are left as they were.
    virtual bool GetDiskFreeSpaceExA(const std::string &rootPath, ByteCount &freeBytesAvailableToCaller,
                                     ByteCount &totalBytes, ByteCount &totalFreeBytes) = 0;

    // Fails when the drive cannot be read (no medium, no file system it knows); info is then untouched.
    virtual bool GetVolumeInformationA(const std::string &rootPath, VolumeInformation &info) = 0;

    // Gives the volume a new label (UTF-8). False when the volume refuses it (locked, gone, a label its
    // file system cannot hold); the label is then unchanged.
    virtual bool SetVolumeLabelA(const std::string &rootPath, const std::string &label) = 0;
};

} // namespace dravex
