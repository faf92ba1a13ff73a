#include "steadyscrollbar.h"

#include <QStyle>
#include <QStyleOptionSlider>

CSteadyScrollBar::CSteadyScrollBar(Qt::Orientation orientation, QWidget *parent)
    : QScrollBar(orientation, parent)
{ }

void CSteadyScrollBar::SetRangeKeepingValueAtEnd(int minimum, int maximum)
{
    m_changing = true;
    setRange(minimum, maximum);
    setValue(maximum);
    m_changing = false;
    sliderChange(SliderRangeChange);
}

void CSteadyScrollBar::sliderChange(SliderChange change)
{
    const bool rangeOrSteps = change == SliderRangeChange || change == SliderStepsChange;
    if (m_changing || (rangeOrSteps && m_painted == CurrentLook()))
        return;
    QScrollBar::sliderChange(change);
}

void CSteadyScrollBar::paintEvent(QPaintEvent *event)
{
    m_painted = CurrentLook();
    QScrollBar::paintEvent(event);
}

CSteadyScrollBar::Look CSteadyScrollBar::CurrentLook() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    return {
        style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
        value() == minimum(), value() == maximum(), minimum() == maximum()};
}
