// The shell's one window: borderless, covering the whole screen, painted by PaintShell and
// driven by the keys of the list. It holds no logic of its own: keys go to the list's key
// handling, and the window carries out the outcome (repaint, close, open a file).
#pragma once

#include "shell/EntryList.h"
#include "shell/Listing.h"
#include "shell/ui/ShellPainter.h"

#include <QWidget>

namespace velora::shell::ui {

inline constexpr const char* kWindowTitle = "KavoShell";
inline constexpr const char* kWindowClass = "KAVOSHELL";

class ShellWindow : public QWidget
{
    Q_OBJECT

public:
    // Lists the current directory with the first entry highlighted.
    ShellWindow(EntryList& list, ShellSystem& system, const KindIcons& icons);

    // Shows the window over the whole screen and gives it the keyboard.
    void showOverScreen();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    EntryList& m_list;
    ShellSystem& m_system;
    const KindIcons& m_icons;
    bool m_saved = false;
};

} // namespace velora::shell::ui
