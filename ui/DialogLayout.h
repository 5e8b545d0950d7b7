// Places the controls of a dialog template on a Qt dialog: the dialog font ("MS Sans Serif"
// 8 point as fontconfig matches it), positions and sizes in dialog units, a fixed size and a
// plain dialog frame. The suite's dialog programs lay out every window of theirs with it.
//
// Sizing: the font that stands in for MS Sans Serif draws some texts wider than a template
// allows, and Qt's check boxes, radio buttons and drop-down lists are taller than Windows'.
// With FitText a control keeps its template position but grows to the size its text needs
// (text controls keep their vertical centre), so that no text is cut off. With Template every
// control gets exactly its template box, for a window whose texts fit as they are.
#pragma once

#include "ui/DialogUnits.h"

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>

namespace velora::ui {

class DialogLayout
{
public:
    enum class Sizing { FitText, Template };

    // Sets the dialog's font, fixed client size (in dialog units) and plain dialog frame
    // (caption, window menu and close box; no minimise, maximise or help button).
    DialogLayout(QDialog& dialog, int width, int height, Sizing sizing = Sizing::FitText);

    const DialogUnits& units() const { return m_units; }

    // Places a control at x, y with width and height in dialog units.
    template <typename Widget> Widget* add(Widget* widget, int x, int y, int width, int height)
    {
        place(*widget, x, y, width, height);
        return widget;
    }

    // A static text on the dialog.
    QLabel* addLabel(const char* text, int x, int y, int width, int height);

    // A group box on the dialog: a frame drawn behind the controls (not their parent, so
    // positions stay the dialog's) and transparent to the mouse, as a Windows group box is.
    QGroupBox* addGroup(const char* title, int x, int y, int width, int height);

    // A drop-down list: the template's height is that of the list when dropped down, which
    // sets how many lines it shows at once; closed, it is as high as its text needs.
    void placeList(QComboBox& list, int x, int y, int width, int droppedHeight);

private:
    void place(QWidget& widget, int x, int y, int width, int height);

    QDialog& m_dialog;
    DialogUnits m_units;
    Sizing m_sizing;
};

} // namespace velora::ui
