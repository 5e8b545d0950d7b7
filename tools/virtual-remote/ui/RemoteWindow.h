// The virtual remote's window: a tall rounded body with the remote's 32 keys laid out like
// the hand-held remote, each coloured by its group, and at the bottom one status line with
// what the card shows. It never takes the keyboard focus and never comes to the front by
// itself, so that the program in front keeps receiving the keys it presses; only a
// full-screen window, which would hide it for good, finds the remote put back above it.
#pragma once

#include "tools/virtual-remote/RemoteCard.h"

#include <QLabel>
#include <QTimer>
#include <QWidget>

namespace velora::vremote::ui {

class RemoteWindow : public QWidget
{
    Q_OBJECT

public:
    // The card must outlive the window.
    explicit RemoteWindow(RemoteCard& card, QWidget* parent = nullptr);

    // The status refresh interval, and the check for a full-screen window over the remote:
    // a few times a second.
    static constexpr int kRefreshMs = 250;

public slots:
    void refreshStatus();
    // Puts the remote above a full-screen window that covers it, without activating it.
    void keepAboveFullScreen();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void showStatus();

    RemoteCard& m_card;
    QLabel* m_status = nullptr;
    QString m_statusText;
    QTimer m_refresh;
};

} // namespace velora::vremote::ui
