// velora-remote: a window laid out like the card's hand-held remote. Clicking a key presses
// it on the virtual card, where the remote daemon picks it up as from the real receiver.
#include <QApplication>

#include "drivers/virtualcard/CardStateFile.h"
#include "tools/virtual-remote/RemoteCard.h"
#include "tools/virtual-remote/ui/RemoteWindow.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("velora-remote"));
    velora::vremote::RemoteCard card(velora::virtualcard::CardStateFile::defaultPath());
    velora::vremote::ui::RemoteWindow window(card);
    window.show();
    return QApplication::exec();
}
