// velora-remote: a window laid out like the card's hand-held remote. Clicking a key presses
// it on the virtual card, where the remote daemon picks it up as from the real receiver.
#include <QApplication>

#include "drivers/virtualcard/CardStateFile.h"
#include "tools/virtual-remote/RemoteCard.h"
#include "tools/virtual-remote/ui/RemoteWindow.h"
#include "ui/ProgramStart.h"

namespace {

const velora::ui::ProgramInfo kProgram{
    "velora-remote", "velora-remote", "velora-remote",
    "velora-remote shows a window laid out like the TV card's hand-held remote control. Clicking a key "
    "presses it on the virtual card, where KavoRemote picks it up as it would from a real card's "
    "receiver.\n\n"
    "The virtual card's state is the file named by VELORA_CARD, else velora-card in XDG_RUNTIME_DIR, "
    "else /tmp/velora-card-<uid>; velora-card shows and drives it from the command line. It takes no "
    "arguments."};

} // namespace

int main(int argc, char** argv)
{
    if (const auto status = velora::ui::handleCommandLine(argc, argv, kProgram)) {
        return *status;
    }
    velora::ui::StartGuard start(kProgram);
    QApplication app(argc, argv);
    start.started();
    velora::vremote::RemoteCard card(velora::virtualcard::CardStateFile::defaultPath());
    velora::vremote::ui::RemoteWindow window(card);
    window.show();
    return QApplication::exec();
}
