#pragma once

#include "ui/theme/FWTheme.h"

#include <QWidget>

// Text in one of the theme's colours with the font, letter spacing and extra line spacing the controls call for;
// one line, or wrapped to the width it is given. One line cut short at the end shows the whole text as its tooltip.
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

    // One line that does not fit its width, drawn cut short with an ellipsis.
    bool isElided() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // Lays the text out in `width` (unbounded when negative); returns the height used.
    qreal layout(qreal width, QList<QPair<QPointF, QString>> *lines) const;
    // Gives an elided line its full text as the tooltip, and takes it away once the text fits again.
    void updateElisionTip();

    QString m_text;
    FWTheme::Role m_role = FWTheme::Role::Text;
    bool m_wrap = false;
    bool m_tipIsText = false;
    qreal m_lineSpacing = 0;
};
