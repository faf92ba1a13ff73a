#pragma once

#include <QRect>
#include <QScrollBar>

#include <optional>

// A scroll bar that repaints for a new range or page step only when that changes what it shows:
// where the slider is and how long, and whether the value stands at either end or there is no
// range at all. The received text grows with every chunk, which moves the range each time,
// while the slider of a long text keeps its least length where it is; repainting it for nothing
// cost more than the rest of the chunk. Any other change repaints as usual. Lives on the GUI
// thread.
class CSteadyScrollBar : public QScrollBar
{
    Q_OBJECT

public:
    explicit CSteadyScrollBar(Qt::Orientation orientation, QWidget *parent = nullptr);

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
};
