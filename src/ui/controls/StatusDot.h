#pragma once

#include "model/TunnelStatus.h"
#include "ui/controls/Animator.h"

#include <QPointer>
#include <QWidget>

// A tunnel's run state as a coloured dot: a halo when connected or failed, an expanding ring while connecting,
// and one ripple each time `warp` turns on.
class StatusDot : public QWidget {
    Q_OBJECT
public:
    explicit StatusDot(TunnelStatus status = TunnelStatus::Idle, qreal size = 8, QWidget *parent = nullptr);

    TunnelStatus status() const { return m_status; }
    void setStatus(TunnelStatus status);
    bool warp() const { return m_warp; }
    void setWarp(bool warp);

    struct Geometry {
        QRectF frame; // side size + 6
        QRectF dot;   // side size
    };
    Geometry geometry() const;

    bool showsHalo() const;
    bool showsPulseRing() const { return m_status == TunnelStatus::Connecting; }
    bool showsRipple() const { return m_ripple; }
    // The ring's 1.3 s expand-and-fade cycle, repeating while connecting.
    Animator *pulseAnimator() const { return m_pulse; }
    // The ripple's 0.5 s fade-in; when it ends the ring is removed at once.
    Animator *rippleAnimator() const { return m_rippleFade; }

    QSize sizeHint() const override;

    // Draws the halo, the pulse ring (when `pulse` is not negative) and the dot into `frame`.
    static void paintDot(QPainter &painter, const QRectF &frame, qreal size, TunnelStatus status, qreal pulse,
                         const QColor &color);

    static void paintPulseRing(QPainter &painter, const QPointF &centre, qreal size, qreal pulse, const QColor &color);

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void updatePulse();
    void endRipple();
    void placeOverlay();
    void updateOverlay();

    TunnelStatus m_status = TunnelStatus::Idle;
    qreal m_size = 8;
    bool m_warp = false;
    bool m_ripple = false;
    Animator *m_pulse = nullptr;
    Animator *m_rippleFade = nullptr;
    QPointer<QWidget> m_overlay;
};
