// A desktop that does nothing: for a program that runs where no X11 session with the XTEST
// extension is available, so that it can still start and say so.
#pragma once

#include "platform/Desktop.h"

namespace velora::platform {

class NullDesktop final : public Desktop
{
public:
    void keyEvent(std::uint8_t, bool) override {}
    void mouseButton(MouseButton, bool) override {}
    PointerPosition pointerPosition() override { return {}; }
    void setPointerPosition(int, int) override {}
    std::string foregroundTitle() override { return {}; }
    void minimiseForeground() override {}
    void maximiseForeground() override {}
    bool activateWindow(const std::string&) override { return false; }
    bool isKeyDown(std::uint8_t) override { return false; }
};

} // namespace velora::platform
