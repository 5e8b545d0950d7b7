// Remote-control keys from LIRC: a client of lircd's socket, which sends one line for every
// button it decodes, "code repeat-count button remote" (the repeat count in hexadecimal, 0
// for a press). Lines between "BEGIN" and "END" are lircd's answers and broadcasts, not keys.
//
// While lircd is not there (not started, restarting), the source keeps trying: at once when
// the socket appears in its folder, and else after 100 ms, doubling up to 5 s. It says so
// once when lircd cannot be reached and once when it is connected again.
#pragma once

#include <string>
#include <string_view>

#include "platform/linux/EventSourceThread.h"

namespace velora::platform {

class LircKeySource final : public EventSourceThread
{
public:
    explicit LircKeySource(std::string socketPath) : m_path(std::move(socketPath)) {}
    ~LircKeySource() override { stop(); }

    // The key event of one line from lircd; false for a line that is no key.
    static bool parseLine(std::string_view line, KeyEvent& event);

private:
    void run() override;
    // Reads what lircd sent; false when the connection has ended.
    bool readFrom(int fd);
    void line(std::string_view text);

    const std::string m_path;
    std::string m_pending; // the start of a line not yet ended
    bool m_inReply = false;
};

} // namespace velora::platform
