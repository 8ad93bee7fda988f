#include "ui/controls/Animator.h"

Animator::Animator(const FWCurve &curve, QWidget *target, qreal initial)
    : QVariantAnimation(target), m_widget(target), m_value(initial), m_target(initial)
{
    setEasingCurve(curve.easing);
    setDuration(curve.durationMs);
}

void Animator::animateTo(qreal value)
{
    if (value == m_target && (state() == Running || value == m_value))
        return;
    stop();
    m_target = value;
    setLoopCount(1);
    setStartValue(m_value);
    setEndValue(value);
    start();
}

void Animator::jumpTo(qreal value)
{
    stop();
    m_target = value;
    m_value = value;
    if (m_widget)
        m_widget->update();
}

void Animator::loop(int loops)
{
    stop();
    m_target = 1;
    setStartValue(0.0);
    setEndValue(1.0);
    setLoopCount(loops);
    start();
}

void Animator::finish()
{
    if (state() == Stopped)
        return;
    setCurrentTime(totalDuration() < 0 ? duration() : totalDuration());
}

void Animator::updateCurrentValue(const QVariant &value)
{
    m_value = value.toReal();
    if (m_widget)
        m_widget->update();
}
