#include "platform/MemoryStream.h"

#include <utility>

namespace velora::platform {

MemoryStream::MemoryStream(std::string bytes) : m_bytes(std::move(bytes))
{
    // POSIX fmemopen; in mode "r" the buffer is only read, and a size of 0 gives a stream
    // that is at its end at once.
    m_file = fmemopen(m_bytes.data(), m_bytes.size(), "r");
}

MemoryStream::~MemoryStream()
{
    if (m_file != nullptr) {
        std::fclose(m_file);
    }
}

} // namespace velora::platform
