#include "remote/MouseControl.h"

namespace velora::remote {
namespace {

struct Move
{
    RemoteKey key;
    int dx;
    int dy;
};

// The keypad compass, in units of the step.
constexpr Move kMoves[] = {
    {keys::Digit1 + 0, -1, -1}, {keys::Digit1 + 1, 0, -1}, {keys::Digit1 + 2, 1, -1}, {keys::Digit1 + 3, -1, 0},
    {keys::Digit1 + 5, 1, 0},   {keys::Digit1 + 6, -1, 1}, {keys::Digit1 + 7, 0, 1},  {keys::Digit1 + 8, 1, 1},
};

} // namespace

void MouseControl::button(platform::MouseButton which, bool down)
{
    m_buttonDown[which == platform::MouseButton::Left ? 0 : 1] = down;
    m_desktop.mouseButton(which, down);
}

void MouseControl::click(platform::MouseButton which)
{
    button(which, true);
    button(which, false);
}

void MouseControl::releaseHeldButtons()
{
    for (const platform::MouseButton which : {platform::MouseButton::Left, platform::MouseButton::Right}) {
        if (m_buttonDown[which == platform::MouseButton::Left ? 0 : 1]) {
            button(which, false);
        }
    }
}

void MouseControl::MouseAction(RemoteKey key)
{
    const platform::PointerPosition position = m_desktop.pointerPosition();
    const int step = m_step.load();
    for (const Move& move : kMoves) {
        if (move.key == key) {
            m_desktop.setPointerPosition(position.x + move.dx * step, position.y + move.dy * step);
            return;
        }
    }
    using platform::MouseButton;
    switch (key) {
    case keys::Digit1 + 4: // "5"
        click(MouseButton::Left);
        buttonHeld = 0;
        break;
    case keys::Digit0:
        click(MouseButton::Right);
        buttonHeld = 0;
        break;
    case keys::Cancel:
        button(MouseButton::Left, buttonHeld == 0);
        buttonHeld = buttonHeld == 0 ? 1 : 0;
        break;
    case keys::Enter:
        button(MouseButton::Right, buttonHeld == 0);
        buttonHeld = buttonHeld == 0 ? 1 : 0;
        break;
    case keys::AirCable:
        click(MouseButton::Left);
        click(MouseButton::Left);
        buttonHeld = 0;
        break;
    case keys::Inc:
        m_step.fetch_add(5);
        break;
    case keys::Dec:
        m_step.fetch_sub(5);
        break;
    default:
        break;
    }
}

} // namespace velora::remote
