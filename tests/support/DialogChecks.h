// Checks of a laid-out Qt window, for tests of the suite's dialogs: whether every control's
// text fits it and whether controls overlap.
#pragma once

#include <string>
#include <vector>

class QWidget;

namespace velora::test {

// What is wrong with the layout of window's own controls (its direct children that are not
// hidden), one readable line each; empty when nothing is:
// - a control whose text is wider or taller than the room the control's style gives it: a
//   label, a button, a check box or radio button, a group box's title, any line of a
//   drop-down list or its placeholder;
// - two controls that overlap, other than a group box and what it frames;
// - a control that reaches outside the window.
std::vector<std::string> layoutProblems(const QWidget& window);

} // namespace velora::test
