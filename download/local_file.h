#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The task's local file: created new, its whole size reserved at once and
// written through one memory-mapped view. While it is held, a shared lock on
// it tells the platform's deleteFile that the file is in use.

class LocalFile {
public:
    LocalFile() = default;
    ~LocalFile();
    LocalFile(const LocalFile&) = delete;
    LocalFile& operator=(const LocalFile&) = delete;

    // The size of whatever stands at the path (a symbolic link included, which
    // is never followed), or nothing when the path is free.
    static std::optional<std::int64_t> existingSize(const std::string& nativePath);

    // Fails when anything exists at the path, the size cannot be reserved (no
    // space) or the view cannot be made; a file it made is then removed again.
    bool create(const std::string& nativePath, std::int64_t size);

    // False, and nothing written, when the bytes would not lie inside the file.
    bool write(std::int64_t offset, const char* data, std::size_t length);

    // The written pages of [offset, offset + length) stay in the file but leave
    // the process's memory, so that memory use does not grow with the file.
    void release(std::int64_t offset, std::int64_t length);

    void close();
    std::int64_t size() const { return size_; }

private:
    int fd_ = -1;
    char* view_ = nullptr;
    std::int64_t size_ = 0;
};
