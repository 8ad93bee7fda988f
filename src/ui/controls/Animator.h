#pragma once

#include "ui/theme/FWTheme.h"

#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>

// One animated number of a control (a knob position, a ring's progress): eased by a theme curve and repainting
// its widget on every step. Tests step it with setCurrentTime() or finish() instead of waiting.
class Animator : public QVariantAnimation {
    Q_OBJECT
public:
    Animator(const FWCurve &curve, QWidget *target, qreal initial = 0);

    qreal value() const { return m_value; }
    qreal target() const { return m_target; }
    // Animates from wherever it is now to `value`; nothing when already there and at rest.
    void animateTo(qreal value);
    // Sets the value at once, stopping any run.
    void jumpTo(qreal value);
    // Plays 0 to 1 again and again (a pulse): `loops` -1 for ever.
    void loop(int loops = -1);
    // Runs to the end at once, as if its time had passed.
    void finish();

protected:
    void updateCurrentValue(const QVariant &value) override;

private:
    QPointer<QWidget> m_widget;
    qreal m_value = 0;
    qreal m_target = 0;
};
