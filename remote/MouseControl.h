// Mouse mode: the digit keys move the pointer like a telephone-keypad compass ("1" up and
// left, "2" up, ... "9" down and right), "5" and "0" click the left and right button,
// "AirCable" double-clicks, "Cancel" and "Enter" hold and let go a button, "Inc" and "Dec"
// change the step by 5 pixels.
#pragma once

#include <array>
#include <atomic>

#include "platform/Desktop.h"
#include "remote/RemoteKeys.h"

namespace velora::remote {

class MouseControl
{
public:
    MouseControl(platform::Desktop& desktop, std::atomic<int>& mouseStep) : m_desktop(desktop), m_step(mouseStep) {}

    // Acts on one key in mouse mode; keys without a mouse meaning do nothing.
    void MouseAction(RemoteKey key);

    bool buttonIsHeld() const { return buttonHeld != 0; }

    // Lets go of every button that a toggle key left pressed. Call it while no key is acted on.
    void releaseHeldButtons();

private:
    void click(platform::MouseButton button);
    void button(platform::MouseButton button, bool down);

    platform::Desktop& m_desktop;
    std::atomic<int>& m_step;
    // One flag for both toggle keys, as the keys share it.
    int buttonHeld = 0;
    // What each button (left, right) was last told, whatever the flag says.
    std::array<bool, 2> m_buttonDown{};
};

} // namespace velora::remote
