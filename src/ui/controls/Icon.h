#pragma once

#include "ui/theme/FWTheme.h"

#include <QWidget>

// A symbol from the compiled-in icon set, chosen by its short name through the symbol table, drawn at size × 0.92
// with a stroke that follows the weight, in a theme colour.
class Icon : public QWidget {
    Q_OBJECT
public:
    Icon(const QString &name, qreal size, QFont::Weight weight = QFont::Normal,
         FWTheme::Role role = FWTheme::Role::Text, QWidget *parent = nullptr);

    QString name() const { return m_name; }
    void setName(const QString &name);
    void setRole(FWTheme::Role role);
    // Rotation about the centre in degrees (the disclosure chevron turns).
    void setRotation(qreal degrees);

    // The symbol a short name stands for; "questionmark" for a name not in the table.
    static QString symbolFor(const QString &name);
    // True when the icon set holds a drawing of that symbol (symbols may also be used directly, as menus do).
    static bool hasSymbol(const QString &symbol);
    // Draws a symbol (not a short name) centred in `rect` at a font size, weight and colour.
    static void paintSymbol(QPainter &painter, const QRectF &rect, const QString &symbol, qreal size,
                            QFont::Weight weight, const QColor &color);
    // A symbol as an icon for menus and buttons of the platform.
    static QIcon symbolIcon(const QString &symbol, const QColor &color, qreal size = 16);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_name;
    qreal m_size = 13;
    QFont::Weight m_weight = QFont::Normal;
    FWTheme::Role m_role = FWTheme::Role::Text;
    qreal m_rotation = 0;
};
