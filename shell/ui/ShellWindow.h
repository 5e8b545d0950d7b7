// The shell's one window: borderless, covering the whole screen, painted by PaintShell and
// driven by the keys of the list and the mouse. It holds no logic of its own: keys, the wheel
// and clicks go to the list's handling, and the window carries out the outcome (repaint,
// close, open a file, say that a file could not be opened).
#pragma once

#include "shell/EntryList.h"
#include "shell/Listing.h"
#include "shell/Navigation.h"
#include "shell/ui/FileOpener.h"
#include "shell/ui/ShellPainter.h"

#include <QTimer>
#include <QWidget>

namespace velora::shell::ui {

inline constexpr const char* kWindowTitle = "KavoShell";
inline constexpr const char* kWindowClass = "KAVOSHELL";

class ShellWindow : public QWidget
{
    Q_OBJECT

public:
    // How long a banner stays, and how long the pointer stays without moving.
    static constexpr int kBannerMs = 3000;
    static constexpr int kPointerHideMs = 2000;

    // Shows the list, which the caller has filled, from its first entry highlighted.
    ShellWindow(EntryList& list, ShellSystem& system, const KindIcons& icons);

    // Shows the window over the whole screen and gives it the keyboard.
    void showOverScreen();

    // The banner shown now, empty when none is.
    const QString& banner() const { return m_banner; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Nothing on the screen shows the focus: gaining or losing it repaints nothing.
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void carryOut(const KeyOutcome& outcome);
    void showBanner(const QString& text);
    void showPointer();
    ShellLayout layout() const;

    EntryList& m_list;
    ShellSystem& m_system;
    const KindIcons& m_icons;
    FileOpener m_opener;
    QString m_banner;
    QTimer m_bannerTimer;
    QTimer m_pointerTimer;
    int m_wheelAngle = 0;
    bool m_saved = false;
    bool m_iconSet = false;
};

} // namespace velora::shell::ui
