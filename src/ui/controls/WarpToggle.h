#pragma once

#include "model/TunnelStatus.h"
#include "ui/controls/Animator.h"

#include <QAbstractButton>

// The capsule switch of every on/off setting and of each tunnel. A tap (or Space while it has the keyboard) reports
// the negation of isOn through changed() and never changes isOn itself; turning on squashes the knob for 0.46 s.
class WarpToggle : public QAbstractButton {
    Q_OBJECT
public:
    WarpToggle(bool isOn = false, TunnelStatus status = TunnelStatus::Connected, bool small = false,
               QWidget *parent = nullptr);

    bool isOn() const { return m_isOn; }
    void setOn(bool on);
    TunnelStatus status() const { return m_status; }
    void setStatus(TunnelStatus status);
    bool isSmall() const { return m_small; }
    bool warp() const { return m_warp; }

    struct Geometry {
        QRectF track;
        QRectF knob; // with the squash applied
    };
    // Track and knob for a knob position between 0 (off) and 1 (on) and a squash between 0 and 1.
    Geometry geometry(qreal position, qreal squash) const;

    Animator *knobAnimator() const { return m_knob; }
    Animator *squashAnimator() const { return m_squash; }
    // Holds `warp` for 0.46 s after turning on.
    Animator *warpHold() const { return m_hold; }

    QSize sizeHint() const override;

signals:
    // The user asked for this new value; the owner decides and calls setOn.
    void changed(bool on);

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;

private:
    void tapped();
    void setWarp(bool warp);

    bool m_isOn = false;
    TunnelStatus m_status = TunnelStatus::Connected;
    bool m_small = false;
    bool m_warp = false;
    Animator *m_knob = nullptr;
    Animator *m_squash = nullptr;
    Animator *m_hold = nullptr;
};
