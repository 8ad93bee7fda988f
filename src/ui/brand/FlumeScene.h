#pragma once

#include "ui/controls/Animator.h"

#include <QWidget>

class QPainter;

// The empty-state picture: the glyph standing in a pool of light whose glow breathes between 0.55 and 1.0.
class FlumeScene : public QWidget {
    Q_OBJECT
public:
    explicit FlumeScene(qreal size, QWidget *parent = nullptr);

    // Glow opacity now: 0.55 to 1.0 and back every 5.2 s.
    qreal glowOpacity() const;
    Animator *glowAnimator() const { return m_glow; }

    static void paint(QPainter &painter, qreal size, qreal glowOpacity, bool dark);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    qreal m_size = 132;
    Animator *m_glow = nullptr;
};
