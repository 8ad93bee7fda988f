#include "ui/controls/FocusRing.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>

namespace {

constexpr const char *kKeyboardFocus = "_fw_keyboardFocus";

// Notes on each widget how it last got the focus: by the keyboard (Tab, Backtab, a shortcut) or otherwise (a click,
// the program). Qt also reports focus that moves on because a clicked control was disabled as a Tab move, so a Tab
// move counts only while the last input was the Tab key. A click on a focused widget takes its ring away.
class FocusReasonTracker : public QObject {
public:
    static void ensureInstalled()
    {
        static bool installed = false;
        if (installed || !qApp)
            return;
        installed = true;
        qApp->installEventFilter(new FocusReasonTracker(qApp));
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            m_tabbing = key == Qt::Key_Tab || key == Qt::Key_Backtab;
        } else if (event->type() == QEvent::FocusIn && watched->isWidgetType()) {
            const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
            const bool tab = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason;
            watched->setProperty(kKeyboardFocus, (tab && m_tabbing) || reason == Qt::ShortcutFocusReason);
        } else if (event->type() == QEvent::MouseButtonPress && watched->isWidgetType()) {
            m_tabbing = false;
            auto widget = static_cast<QWidget *>(watched);
            if (widget->hasFocus() && widget->property(kKeyboardFocus).toBool()) {
                widget->setProperty(kKeyboardFocus, false);
                widget->update();
            }
        }
        return false;
    }

private:
    using QObject::QObject;
    bool m_tabbing = false;
};

} // namespace

void paintFocusRing(QPainter &painter, const QRectF &rect, qreal radius, const FWTheme &theme)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath ring;
    const qreal r = std::max<qreal>(radius - 1, 0);
    ring.addRoundedRect(rect.adjusted(1, 1, -1, -1), r, r);
    painter.setBrush(Qt::NoBrush);
    painter.strokePath(ring, QPen(theme.accent(), 2));
    painter.restore();
}

bool showsFocusRing(const QWidget *widget)
{
    FocusReasonTracker::ensureInstalled();
    if (!widget->hasFocus())
        return false;
    const QVariant keyboard = widget->property(kKeyboardFocus);
    // Focus given before the tracker was installed: Qt's own mark of a keyboard focus change in the window.
    return keyboard.isValid() ? keyboard.toBool() : widget->window()->testAttribute(Qt::WA_KeyboardFocusChange);
}
