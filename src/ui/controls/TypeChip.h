#pragma once

#include "model/TunnelType.h"

#include <QWidget>

// The small badge naming a tunnel's kind: "L", "R" or "SOCKS".
class TypeChip : public QWidget {
    Q_OBJECT
public:
    explicit TypeChip(TunnelType type, QWidget *parent = nullptr);

    TunnelType type() const { return m_type; }
    void setType(TunnelType type);
    QString text() const { return textOf(m_type).toUpper(); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QSizeF chipSize() const;
    TunnelType m_type = TunnelType::Local;
};
