#pragma once

#include <climits>
#include <cstdint>

// How a view that shows whole lines scrolls a text of any number of lines with a scroll bar of
// at most a given number of steps (an int's worth on both systems): a text of more lines than
// that scrolls by several lines a step, so that both ends and everything between are still
// reached. It also keeps whether the user left the view at the end of the text, where new text
// moves the view along with it. Needs no window; each view keeps one.
class CLineScroll
{
public:
    void SetStepLimit(int steps);

    // For the text's lines and the rows in sight; call it again when either changes.
    void Update(std::uint64_t lineCount, int rowsInSight);

    // The scroll bar's range is 0 to Maximum(), a page PageStep() steps.
    int Maximum() const { return m_maximum; }
    int PageStep() const { return m_pageStep; }
    // The line at the top of the view for a value of the scroll bar.
    std::uint64_t TopLine(int value) const;
    // The value nearest to `value` whose view holds `line`, as far as a step allows.
    int ValueShowing(std::uint64_t line, int value) const;

    // Where the user put the scroll bar. A text that fits has no end to scroll to and leaves the
    // choice as it was, so a clear does not stop the following.
    void NoteValue(int value);
    bool FollowsEnd() const { return m_followsEnd; }

private:
    int m_stepLimit = INT_MAX;
    std::uint64_t m_linesPerStep = 1;
    std::uint64_t m_lastTopLine = 0;
    std::uint64_t m_rows = 1;
    int m_maximum = 0;
    int m_pageStep = 1;
    bool m_followsEnd = false;
};
