#pragma once

#include "ui/controls/Animator.h"

#include <QAbstractButton>

// The popover footer's wide "New Tunnel" button: plus sign and text centred, hairline outline at rest, an accent
// outline, tint and text colour while hovered.
class NewTunnelButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit NewTunnelButton(QWidget *parent = nullptr);

    bool isHovered() const { return m_hover; }
    // Sets the hover look without a pointer event.
    void setHovered(bool hover);
    Animator *hoverAnimator() const { return m_hoverAnim; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    bool m_hover = false;
    Animator *m_hoverAnim = nullptr;
};
