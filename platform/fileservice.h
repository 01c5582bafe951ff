#pragma once

#include <optional>
#include <string>

namespace dravex {

// Whole-file operations for the write-protect probe and the settings files. Paths use "\" as the
// separator: a drive path ("H:\tavrin.bin") or a file in the program's directory. Every call reports
// failure instead of throwing.
class FileService {
public:
    virtual ~FileService() = default;

    virtual bool fileExists(const std::string &path) = 0;
    // Creates the file with no content, replacing a file of the same name.
    virtual bool createEmptyFile(const std::string &path) = 0;
    virtual bool deleteFile(const std::string &path) = 0;
    // The file's bytes; nothing when it cannot be read.
    virtual std::optional<std::string> readFile(const std::string &path) = 0;
    // Replaces the file's content; when that fails the file keeps its old content.
    virtual bool replaceFile(const std::string &path, const std::string &bytes) = 0;
};

} // namespace dravex
