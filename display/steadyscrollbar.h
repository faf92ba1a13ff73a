#pragma once

#include <QRect>
#include <QScrollBar>

#include <optional>

// A scroll bar that repaints for a new range or page step only when that changes what it shows:
// where the slider is and how long, and whether the value stands at either end or there is no
// range at all. The received text grows with every chunk, which moves the range each time,
// while the slider of a long text keeps its least length where it is; repainting it for nothing
// cost more than the rest of the chunk. While the view follows the newest text, the value moves
// to the new end with the range, and the two count as one change. Any other change repaints as
// usual. Lives on the GUI thread.
class CSteadyScrollBar : public QScrollBar
{
    Q_OBJECT

public:
    explicit CSteadyScrollBar(Qt::Orientation orientation, QWidget *parent = nullptr);

    // Sets the range and puts the value at its new maximum.
    void SetRangeKeepingValueAtEnd(int minimum, int maximum);

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent *event) override;

private:
    struct Look
    {
        QRect slider;
        bool atMinimum;
        bool atMaximum;
        bool withoutRange;
        bool operator==(const Look &) const = default;
    };

    Look CurrentLook() const;

    std::optional<Look> m_painted;
    // Set while the range and the value change together, so that the look is judged once, after
    // both.
    bool m_changing = false;
};
