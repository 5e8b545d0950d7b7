#include "shell/ui/ShellWindow.h"

#include "platform/Directories.h"
#include "shell/Navigation.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QFile>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QUrl>

namespace velora::shell::ui {
namespace {

ShellKey shellKey(int key)
{
    switch (key) {
    case Qt::Key_Up:
        return ShellKey::Up;
    case Qt::Key_Down:
        return ShellKey::Down;
    case Qt::Key_PageUp:
        return ShellKey::PageUp;
    case Qt::Key_PageDown:
        return ShellKey::PageDown;
    case Qt::Key_Home:
        return ShellKey::Home;
    case Qt::Key_End:
        return ShellKey::End;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return ShellKey::Enter;
    case Qt::Key_Backspace:
        return ShellKey::Backspace;
    case Qt::Key_Escape:
        return ShellKey::Escape;
    case Qt::Key_F1:
        return ShellKey::F1;
    case Qt::Key_F2:
        return ShellKey::F2;
    default:
        return ShellKey::Other;
    }
}

} // namespace

ShellWindow::ShellWindow(EntryList& list, ShellSystem& system, const KindIcons& icons)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), m_list(list), m_system(system), m_icons(icons)
{
    setWindowTitle(QString::fromLatin1(kWindowTitle));
    setWindowIcon(icons.programIcon());
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::StrongFocus);
    // The paint covers what it must itself; Qt's own background fill is not wanted.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    ListDirectory(m_list, m_system);
    m_list.top = 0;
    m_list.selected = 0;
}

void ShellWindow::showOverScreen()
{
    // Without a window manager nothing would resize the window: it takes the screen's
    // geometry before it is shown.
    if (QScreen* screen = this->screen()) {
        setGeometry(screen->geometry());
    }
    showFullScreen();
    raise();
    activateWindow();
}

void ShellWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // Qt paints into a back buffer that reaches the screen whole, so erasing first never
    // shows as flicker; it also keeps the anti-aliased header from darkening as it is drawn
    // over itself.
    painter.fillRect(rect(), Qt::black);
    const QSize screenSize = screen() != nullptr ? screen()->geometry().size() : size();
    // A folder removed while shown has no path any more; the header keeps the one it had
    // until a key moves the shell on.
    std::string header = m_system.directories.currentDirectory();
    if (header.empty()) {
        header = m_list.folder();
    }
    PaintShell(painter, screenSize, m_list, QByteArray::fromStdString(header), m_icons);
}

void ShellWindow::keyPressEvent(QKeyEvent* event)
{
    const KeyOutcome outcome = handleKey(m_list, shellKey(event->key()), m_system);
    event->accept();
    if (!outcome.openFile.empty()) {
        // xdg-open, detached; whether the desktop can open the file is its own business.
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(outcome.openFile))));
    }
    if (outcome.repaint != Repaint::None) {
        update();
    }
    if (outcome.close) {
        close();
    }
}

void ShellWindow::closeEvent(QCloseEvent* event)
{
    if (!m_saved) {
        m_saved = true;
        SaveLastDirectory(m_system);
    }
    event->accept();
}

} // namespace velora::shell::ui
