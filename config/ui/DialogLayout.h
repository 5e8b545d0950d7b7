// Places the controls of a dialog template on a Qt dialog: the dialog font ("MS Sans Serif"
// 8 point as fontconfig matches it), positions and sizes in dialog units, a fixed size.
//
// The font that stands in for MS Sans Serif draws some texts wider than the template
// allows, and Qt's check boxes, radio buttons and drop-down lists are taller than Windows'.
// A control therefore keeps its template position but grows to the size its text needs
// (text controls keep their vertical centre), so that no text is cut off.
#pragma once

#include "ui/DialogUnits.h"

#include <QComboBox>
#include <QDialog>
#include <QWidget>

namespace velora::config {

class DialogLayout
{
public:
    // Sets the dialog's font, fixed client size (in dialog units) and plain dialog frame
    // (caption, window menu and close box; no minimise, maximise or help button).
    DialogLayout(QDialog& dialog, int width, int height);

    const ui::DialogUnits& units() const { return m_units; }

    // Places a control at x, y with width and height in dialog units.
    template <typename Widget> Widget* add(Widget* widget, int x, int y, int width, int height)
    {
        place(*widget, x, y, width, height);
        return widget;
    }

    // A drop-down list: the template's height is that of the list when dropped down, which
    // sets how many lines it shows at once.
    void placeList(QComboBox& list, int x, int y, int width, int droppedHeight);

    // A group box: drawn behind the controls and transparent to the mouse, as a Windows
    // group box is.
    void placeGroup(QWidget& group, int x, int y, int width, int height);

private:
    void place(QWidget& widget, int x, int y, int width, int height);

    ui::DialogUnits m_units;
};

} // namespace velora::config
