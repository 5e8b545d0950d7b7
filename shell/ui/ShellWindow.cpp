#include "shell/ui/ShellWindow.h"

#include "platform/Directories.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWheelEvent>

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

// One notch of a wheel, in eighths of a degree.
constexpr int kWheelNotch = 120;

} // namespace

ShellWindow::ShellWindow(EntryList& list, ShellSystem& system, const KindIcons& icons)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), m_list(list), m_system(system), m_icons(icons)
{
    setWindowTitle(QString::fromLatin1(kWindowTitle));
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::StrongFocus);
    // The pointer shows while it moves (mouse tracking), and hides again when it rests.
    setMouseTracking(true);
    // The paint covers what it must itself; Qt's own background fill is not wanted.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);

    m_bannerTimer.setSingleShot(true);
    m_bannerTimer.setInterval(kBannerMs);
    connect(&m_bannerTimer, &QTimer::timeout, this, [this] {
        m_banner.clear();
        update();
    });
    m_pointerTimer.setSingleShot(true);
    m_pointerTimer.setInterval(kPointerHideMs);
    connect(&m_pointerTimer, &QTimer::timeout, this, [this] { setCursor(Qt::BlankCursor); });
    m_pointerTimer.start();
    connect(&m_opener, &FileOpener::failed, this,
            [this](const QString& name) { showBanner(tr("No program opens '%1'").arg(name)); });

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

ShellLayout ShellWindow::layout() const
{
    return ShellLayout::forScreen(screen() != nullptr ? screen()->geometry().size() : size());
}

void ShellWindow::paintEvent(QPaintEvent*)
{
    if (!m_iconSet) {
        // The program's icon, drawn from its SVG at the sizes the desktop takes, is given
        // once the list is on the screen: nobody looks at it before, and the first paint
        // should not wait for it.
        m_iconSet = true;
        QTimer::singleShot(0, this, [this] {
            QApplication::setWindowIcon(m_icons.programIcon());
            setWindowIcon(m_icons.programIcon());
        });
    }
    QPainter painter(this);
    // Qt paints into a back buffer that reaches the screen whole, so erasing first never
    // shows as flicker; it also keeps the anti-aliased header from darkening as it is drawn
    // over itself.
    painter.fillRect(rect(), Qt::black);
    // A folder removed while shown has no path any more; the header keeps the one it had
    // until a key moves the shell on.
    std::string header = m_system.directories.currentDirectory();
    if (header.empty()) {
        header = m_list.folder();
    }
    const ShellLayout shown = layout();
    PaintShell(painter, shown, m_list, QByteArray::fromStdString(header), m_icons);
    PaintBanner(painter, shown, m_banner);
}

void ShellWindow::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    carryOut(handleKey(m_list, shellKey(event->key()), m_system));
}

void ShellWindow::carryOut(const KeyOutcome& outcome)
{
    if (!outcome.openFile.empty()) {
        m_opener.open(outcome.openFile);
    }
    if (outcome.repaint != Repaint::None) {
        update();
    }
    if (outcome.close) {
        close();
    }
}

void ShellWindow::showBanner(const QString& text)
{
    m_banner = text;
    m_bannerTimer.start();
    update();
}

void ShellWindow::showPointer()
{
    if (cursor().shape() != Qt::ArrowCursor) {
        setCursor(Qt::ArrowCursor);
    }
    m_pointerTimer.start();
}

void ShellWindow::wheelEvent(QWheelEvent* event)
{
    event->accept();
    showPointer();
    m_wheelAngle += event->angleDelta().y();
    const int notches = m_wheelAngle / kWheelNotch;
    m_wheelAngle -= notches * kWheelNotch;
    // Away from the user scrolls towards the first entry.
    if (notches != 0 && ScrollRows(m_list, -notches * QApplication::wheelScrollLines())) {
        update();
    }
}

void ShellWindow::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    showPointer();
    if (event->button() == Qt::LeftButton && SelectShownRow(m_list, layout().rowAt(event->position().toPoint()))) {
        update();
    }
}

void ShellWindow::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
    showPointer();
    // The first click highlighted the row; the second opens it as Enter does.
    if (event->button() == Qt::LeftButton && SelectShownRow(m_list, layout().rowAt(event->position().toPoint()))) {
        update();
        carryOut(handleKey(m_list, ShellKey::Enter, m_system));
    }
}

void ShellWindow::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    showPointer();
}

void ShellWindow::focusInEvent(QFocusEvent* event)
{
    event->accept();
}

void ShellWindow::focusOutEvent(QFocusEvent* event)
{
    event->accept();
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
