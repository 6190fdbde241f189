#pragma once

#include "NativeFile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

// Owns an open file (or, in the engine, a socket's descriptor) and closes it once.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(NativeFile fd)
        : m_fd(fd)
    {
    }
    FileDescriptor(FileDescriptor&& other) noexcept
        : m_fd(std::exchange(other.m_fd, kNoFile))
    {
    }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.m_fd, kNoFile));
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { reset(); }

    [[nodiscard]] NativeFile get() const { return m_fd; }
    [[nodiscard]] bool isOpen() const { return m_fd != kNoFile; }
    void reset(NativeFile fd = kNoFile)
    {
        if (m_fd != kNoFile)
            closeFile(m_fd);
        m_fd = fd;
    }

private:
    NativeFile m_fd = kNoFile;
};

// An open file that several answers may be sent from at once, each reading
// at its own offsets: it closes when the last of them lets it go.
class SharedDescriptor {
public:
    SharedDescriptor() = default;
    explicit SharedDescriptor(FileDescriptor file)
        : m_file(std::make_shared<const FileDescriptor>(std::move(file)))
    {
    }

    [[nodiscard]] NativeFile get() const { return m_file ? m_file->get() : kNoFile; }
    [[nodiscard]] bool isOpen() const { return m_file && m_file->isOpen(); }

private:
    std::shared_ptr<const FileDescriptor> m_file;
};

// The body of an answer that is sent straight from an open file: `size`
// bytes from `offset` (the whole file, as big as it was when it was looked
// at, or the part a range asked for). `path` names it in the log. A small
// file known not to have changed since it was read may come with its whole
// content, which is then sent instead of reading the file again.
struct FileBody {
    SharedDescriptor file;
    std::int64_t size = 0;
    std::string path;
    std::int64_t offset = 0;
    std::shared_ptr<const std::string> content;
};
