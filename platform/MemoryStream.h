// A C stream that reads bytes held in memory, so that text already read through FileSystem
// can be scanned with the C library's own formatted input (fscanf, ftell) rather than with
// an imitation of it.
//
// The stream reads a private copy of the bytes: NUL bytes are read like any other, and the
// end of the bytes is the end of the stream. Not shared between threads.
#pragma once

#include <cstdio>
#include <string>

namespace velora::platform {

class MemoryStream
{
public:
    explicit MemoryStream(std::string bytes);
    ~MemoryStream();
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;

    // The open stream; null only when the system could not open one (out of memory).
    std::FILE* get() const { return m_file; }

private:
    std::string m_bytes;
    std::FILE* m_file = nullptr;
};

} // namespace velora::platform
