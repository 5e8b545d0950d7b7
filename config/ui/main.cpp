// VeloraConfig: the settings tool of the Velora suite, one dialog over velora.ini.
#include "config/ui/CSettingsApp.h"
#include "ui/ProgramStart.h"

namespace {

const velora::ui::ProgramInfo kProgram{
    "VeloraConfig", "VeloraConfig", "veloraconfig",
    "VeloraConfig is the settings dialog of the Velora suite for Bt848-family TV cards. It shows and "
    "edits velora.ini: the card model, the tuner module, the capture device, the channel table, the "
    "language and font of the TV viewer, and the screen and capture resolutions. OK writes every "
    "setting, Cancel none. It takes no arguments."};

} // namespace

int main(int argc, char** argv)
{
    if (const auto status = velora::ui::handleCommandLine(argc, argv, kProgram)) {
        return *status;
    }
    velora::ui::StartGuard start(kProgram);
    velora::config::CSettingsApp app(argc, argv);
    start.started();
    app.InitInstance();
    return 0;
}
