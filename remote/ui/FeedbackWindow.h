// The on-screen feedback of KavoRemote: a small window centred near the bottom of the screen
// that shows a remote key and what it did for about a second, then fades out. It never takes
// the focus and lets every click through, so the keys it reports still reach the program in
// front: it is a tool tip to the window manager (or bypasses it), shown without activation.
#pragma once

#include <QLabel>
#include <QPropertyAnimation>
#include <QTimer>
#include <QWidget>

namespace velora::remote::ui {

class FeedbackWindow : public QWidget
{
    Q_OBJECT

public:
    // The window's title: how tests and window lists tell it.
    static constexpr const char* kTitle = "KavoRemote key";
    static constexpr int kShowMs = 1000;
    static constexpr int kFadeMs = 300;

    FeedbackWindow();

    // Shows the text at full opacity and starts the second after which it fades; a text that
    // comes meanwhile replaces it and starts the second again.
    void showText(const QString& text);
    QString text() const { return m_label->text(); }

private:
    void placeOnScreen();

    QLabel* m_label;
    QTimer m_hold;
    QPropertyAnimation m_fade;
};

} // namespace velora::remote::ui
