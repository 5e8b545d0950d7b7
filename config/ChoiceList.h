// The lines of one drop-down list of the settings dialog and its selected line, with the
// list semantics the dialog relies on: lines added in case-insensitive alphabetical order,
// lines appended where they are put, selection by the beginning of a line's text, and
// selection by position. The Qt dialog shows these lines; it never orders them itself.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velora::config {

class ChoiceList
{
public:
    // Adds a line at its sorted position: before the first line that sorts after it when
    // ASCII letters are compared without regard to case, so equal lines keep the order in
    // which they came. Lines appended with append() count as lines like any other.
    // Returns the new line's position. The selection stays on the line it was on.
    int addSorted(std::string text);

    // Adds a line at the end without sorting. Returns its position.
    int append(std::string text);

    // Selects the first line, from the top, whose text begins with prefix, ASCII letters
    // compared without regard to case. When no line does, the selection stays as it was.
    // Returns whether a line was selected.
    bool selectPrefix(std::string_view prefix);

    // Position of the first line equal to text without regard to case, or -1.
    int findExact(std::string_view text) const;

    // Selects the line at a position; a position outside the list leaves no line selected.
    void select(int position);

    // Position of the selected line, -1 when none.
    int selection() const { return m_selection; }

    // Text of the selected line, or nothing when no line is selected.
    const std::string* selectedText() const;

    const std::vector<std::string>& lines() const { return m_lines; }
    int size() const { return static_cast<int>(m_lines.size()); }

private:
    std::vector<std::string> m_lines;
    int m_selection = -1;
};

// Whether text begins with prefix, ASCII letters compared without regard to case.
bool startsWithIgnoringCase(std::string_view text, std::string_view prefix);

} // namespace velora::config
