#pragma once

#include <QWidget>

// A 1-pixel divider across its width in white (dark) or black (light) at 0.085.
class Hairline : public QWidget {
    Q_OBJECT
public:
    explicit Hairline(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
