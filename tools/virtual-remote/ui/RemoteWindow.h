// The virtual remote's window: the remote's 32 keys laid out like the hand-held remote, and
// one status line with what the card shows. It never takes the keyboard focus and never
// comes to the front, so that the program in front keeps receiving the keys it presses.
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

    // The status refresh interval: a few times a second.
    static constexpr int kRefreshMs = 250;

public slots:
    void refreshStatus();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showStatus();

    RemoteCard& m_card;
    QLabel* m_status = nullptr;
    QString m_statusText;
    QTimer m_refresh;
};

} // namespace velora::vremote::ui
