#pragma once

#include <QAbstractButton>

// A 19 × 19 check box: a field-filled square with an inside stroke when off, an accent square with a white check
// when on. A click (or Space) emits clicked(); the owner flips `on`.
class FWCheck : public QAbstractButton {
    Q_OBJECT
public:
    explicit FWCheck(bool on = false, QWidget *parent = nullptr);

    bool on() const { return m_on; }
    void setOn(bool on);

    // The box, shared by painting and hit-testing.
    QRectF box() const { return {0, 0, 19, 19}; }
    QSize sizeHint() const override { return {19, 19}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override { return box().contains(pos); }

private:
    bool m_on = false;
};
