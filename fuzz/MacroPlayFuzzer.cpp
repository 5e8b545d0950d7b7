// Fuzzes the macro player with recording fakes: any macro text must play without crashing,
// keep the chord and command limits, and without "!" release every key it pressed.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "fakes/FakeClock.h"
#include "fakes/ManualTimerService.h"
#include "remote/MacroPlayer.h"

namespace {

class CountingDesktop final : public velora::platform::Desktop
{
public:
    std::map<int, int> held;
    int presses = 0;
    void keyEvent(std::uint8_t key, bool down) override
    {
        held[key] += down ? 1 : -1;
        presses += down ? 1 : 0;
    }
    void mouseButton(velora::platform::MouseButton, bool) override {}
    velora::platform::PointerPosition pointerPosition() override { return {}; }
    void setPointerPosition(int, int) override {}
    std::string foregroundTitle() override { return "title"; }
    void minimiseForeground() override {}
    void maximiseForeground() override {}
    bool activateWindow(const std::string& title) override
    {
        if (title.size() > velora::remote::MacroPlayer::kMaxCommandText) {
            std::abort();
        }
        return false;
    }
    bool isKeyDown(std::uint8_t) override { return false; }
};

class CheckingStarter final : public velora::platform::ProgramStarter
{
public:
    bool start(std::string_view commandLine) override
    {
        if (commandLine.size() > velora::remote::MacroPlayer::kMaxCommandText) {
            std::abort();
        }
        return true;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    velora::test::FakeClock clock;
    velora::test::ManualTimerService timers(&clock);
    CountingDesktop desktop;
    CheckingStarter starter;
    {
        velora::remote::MacroPlayer player(desktop, clock, timers, starter);
        player.PlayMacro(text);
        player.PlayMacro(text);
        timers.fireAllDue(clock.tickCount() + 1000);
    }
    // Every chord and typed character presses at most what it releases, unless "!" held
    // keys back on purpose.
    for (const auto& [key, balance] : desktop.held) {
        if (balance < 0 || (balance > 0 && text.find('!') == std::string::npos)) {
            std::fprintf(stderr, "key 0x%02x left with balance %d\n", key, balance);
            std::abort();
        }
    }
    return 0;
}
