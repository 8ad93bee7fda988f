#pragma once

#include "ui/theme/FWTheme.h"

#include <QWidget>

// Text in one of the theme's colours with the font, letter spacing and extra line spacing the controls call for;
// one line, or wrapped to the width it is given.
class FWLabel : public QWidget {
    Q_OBJECT
public:
    FWLabel(const QString &text, const QFont &font, FWTheme::Role role = FWTheme::Role::Text,
            QWidget *parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString &text);
    void setRole(FWTheme::Role role);
    FWTheme::Role role() const { return m_role; }
    // Wraps to the available width, with `lineSpacing` extra between lines.
    void setWrapping(bool wrap, qreal lineSpacing = 0);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return m_wrap; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // Lays the text out in `width` (unbounded when negative); returns the height used.
    qreal layout(qreal width, QList<QPair<QPointF, QString>> *lines) const;

    QString m_text;
    FWTheme::Role m_role = FWTheme::Role::Text;
    bool m_wrap = false;
    qreal m_lineSpacing = 0;
};
