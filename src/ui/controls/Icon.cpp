#include "ui/controls/Icon.h"

#include <QFile>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include <memory>
#include <unordered_map>

namespace {

struct SymbolEntry {
    const char *name;
    const char *symbol;
};

// Compared by exact name, in this order.
constexpr SymbolEntry kSymbols[] = {
    {"gear", "gearshape"},
    {"plus", "plus"},
    {"minus", "minus"},
    {"pencil", "pencil"},
    {"duplicate", "square.on.square"},
    {"trash", "trash"},
    {"ellipsis", "ellipsis"},
    {"search", "magnifyingglass"},
    {"x", "xmark"},
    {"check", "checkmark"},
    {"chevR", "chevron.right"},
    {"chevD", "chevron.down"},
    {"list", "list.bullet"},
    {"sliders", "slider.horizontal.3"},
    {"shield", "lock.shield"},
    {"import", "square.and.arrow.down"},
    {"info", "info.circle"},
    {"key", "key"},
    {"bolt", "bolt"},
    {"power", "power"},
    {"copy", "doc.on.doc"},
    {"bell", "bell"},
    {"moon", "moon"},
    {"network", "point.3.connected.trianglepath.dotted"},
    {"globe", "globe"},
    {"arrowRight", "arrow.right"},
    {"folder", "folder"},
    {"refresh", "arrow.clockwise"},
};

const QString kFallback = QStringLiteral("questionmark");

QString resourcePath(const QString &symbol)
{
    return QStringLiteral(":/icons/%1.svg").arg(symbol);
}

// The icon set draws 24-unit strokes of width 2; heavier weights get heavier strokes, as a font's would.
qreal strokeFor(QFont::Weight weight)
{
    if (weight <= QFont::Light)
        return 1.5;
    if (weight <= QFont::Normal)
        return 1.8;
    if (weight <= QFont::Medium)
        return 2.0;
    if (weight <= QFont::DemiBold)
        return 2.3;
    return 2.6;
}

QSvgRenderer *rendererFor(const QString &symbol, qreal stroke, const QColor &color)
{
    // Owned, so that the renderers are freed at exit.
    static std::unordered_map<QString, std::unique_ptr<QSvgRenderer>> cache;
    const QString key = QStringLiteral("%1|%2|%3").arg(symbol).arg(stroke).arg(color.name(QColor::HexArgb));
    if (const auto found = cache.find(key); found != cache.end())
        return found->second.get();
    QFile file(resourcePath(Icon::hasSymbol(symbol) ? symbol : kFallback));
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    QByteArray svg = file.readAll();
    svg.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
    svg.replace("stroke-width=\"2\"", QByteArray("stroke-width=\"") + QByteArray::number(stroke) + "\"");
    if (cache.size() > 512)
        cache.clear();
    return cache.emplace(key, std::make_unique<QSvgRenderer>(svg)).first->second.get();
}

} // namespace

Icon::Icon(const QString &name, qreal size, QFont::Weight weight, FWTheme::Role role, QWidget *parent)
    : QWidget(parent), m_name(name), m_size(size), m_weight(weight), m_role(role)
{
    setAttribute(Qt::WA_TranslucentBackground);
    const int side = int(std::ceil(size));
    setFixedSize(side, side);
}

void Icon::setName(const QString &name)
{
    m_name = name;
    update();
}

void Icon::setRole(FWTheme::Role role)
{
    m_role = role;
    update();
}

void Icon::setRotation(qreal degrees)
{
    m_rotation = degrees;
    update();
}

QString Icon::symbolFor(const QString &name)
{
    for (const SymbolEntry &entry : kSymbols) {
        if (name == QLatin1String(entry.name))
            return QLatin1String(entry.symbol);
    }
    return kFallback;
}

bool Icon::hasSymbol(const QString &symbol)
{
    return QFile::exists(resourcePath(symbol));
}

void Icon::paintSymbol(QPainter &painter, const QRectF &rect, const QString &symbol, qreal size, QFont::Weight weight,
                       const QColor &color)
{
    QColor opaque = color;
    opaque.setAlpha(255);
    QSvgRenderer *renderer = rendererFor(symbol, strokeFor(weight), opaque);
    if (!renderer)
        return;
    // A symbol of the icon set fills about 0.83 of its 24-unit box, close to a glyph at 0.92 of the font size.
    const qreal side = size * 0.92 / 0.83;
    QRectF box(0, 0, side, side);
    box.moveCenter(rect.center());
    painter.save();
    painter.setOpacity(painter.opacity() * color.alphaF());
    renderer->render(&painter, box);
    painter.restore();
}

QIcon Icon::symbolIcon(const QString &symbol, const QColor &color, qreal size)
{
    QPixmap pixmap(int(size * 2), int(size * 2));
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    paintSymbol(painter, QRectF(0, 0, size, size), symbol, size * 0.85, QFont::Normal, color);
    painter.end();
    return QIcon(pixmap);
}

QSize Icon::sizeHint() const
{
    const int side = int(std::ceil(m_size));
    return {side, side};
}

void Icon::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = rect();
    if (m_rotation != 0) {
        painter.translate(frame.center());
        painter.rotate(m_rotation);
        painter.translate(-frame.center());
    }
    paintSymbol(painter, frame, symbolFor(m_name), m_size, m_weight, FWTheme::of(this).color(m_role));
}
