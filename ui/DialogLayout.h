// Places the controls of a dialog template on a Qt dialog: positions and sizes in dialog
// units of the desktop's dialog font (dialogFont()), a fixed size and a plain dialog frame.
// The suite's dialog programs lay out every window of theirs with it.
//
// Fitting the texts: the desktop's font (or a translation) may draw a text wider, compared
// with the font's average letter, than the template allows for. Once every control is placed
// (finish(), or the end of the layout's life) a label, check box or radio button whose text
// does not fit grows to its right into the free room beside it, and where that is not enough
// the horizontal unit is widened, for the whole window alike, until every text fits: the
// template's proportions stay, and controls apart in the template stay apart on the screen. Qt's check boxes, radio
// buttons and drop-down lists may also need more height than the template gives: with FitText such a control grows to
// what its content needs, about its vertical centre; with Template every control keeps its template height.
#pragma once

#include "ui/DialogUnits.h"

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>

#include <vector>

namespace velora::ui {

class DialogLayout
{
public:
    enum class Sizing { FitText, Template };

    // Sets the dialog's fixed client size (in dialog units) and plain dialog frame (caption,
    // window menu and close box; no minimise, maximise or help button).
    DialogLayout(QDialog& dialog, int width, int height, Sizing sizing = Sizing::FitText);
    ~DialogLayout();
    DialogLayout(const DialogLayout&) = delete;
    DialogLayout& operator=(const DialogLayout&) = delete;

    // The units the controls are placed in: final once finish() has run.
    const DialogUnits& units() const { return m_units; }

    // The units a dialog laid out by a DialogLayout was finally placed in.
    static DialogUnits unitsOf(const QDialog& dialog);

    // Places a control at x, y with width and height in dialog units.
    template <typename Widget> Widget* add(Widget* widget, int x, int y, int width, int height)
    {
        m_placed.push_back({widget, x, y, width, height, false});
        place(m_placed.back());
        return widget;
    }

    // A static text on the dialog.
    QLabel* addLabel(const QString& text, int x, int y, int width, int height);

    // A group box on the dialog: a frame drawn behind the controls (not their parent, so
    // positions stay the dialog's) and transparent to the mouse, as a Windows group box is.
    QGroupBox* addGroup(const QString& title, int x, int y, int width, int height);

    // A drop-down list: the template's height is that of the list when dropped down, which
    // sets how many lines it shows at once; closed, it is as high as its text needs.
    void placeList(QComboBox& list, int x, int y, int width, int droppedHeight);

    // Widens the horizontal unit until every text fits, and places every control again in
    // the final units. Later calls do nothing.
    void finish();

private:
    struct Placed
    {
        QWidget* widget;
        int x, y, width, height;
        bool list; // height is the dropped-down list's
    };
    void place(const Placed& placed);
    // The width in pixels the control's text needs, padding included; 0 for no text.
    static int textWidth(const QWidget& widget);
    int roomToGrow(std::size_t index) const;

    QDialog& m_dialog;
    DialogUnits m_units;
    Sizing m_sizing;
    int m_width;
    int m_height;
    std::vector<Placed> m_placed;
    bool m_finished = false;
};

} // namespace velora::ui
