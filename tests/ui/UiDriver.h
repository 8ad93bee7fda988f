#pragma once

// The parts the UI tests build their windows from, and what a user does to widgets, as the tests say it.
#include "engine/EngineHarness.h"
#include "support/TempHome.h"
#include "ui/controls/FWButton.h"
#include "ui/controls/FWTextField.h"
#include "ui/controls/StatusDot.h"
#include "ui/controls/WarpToggle.h"
#include "ui/theme/FWRoot.h"
#include "ui/views/PlainIconButton.h"
#include <QApplication>
#include <QEnterEvent>
#include <QMenu>
#include <QScrollBar>
#include <QTest>

namespace UiDriver {

// A menu's entries as texts, "-" for a separator.
inline QStringList menuTexts(const QMenu *menu)
{
    QStringList texts;
    for (QAction *action : menu->actions())
        texts.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

// Triggers the entry with this text; fails the test when there is none.
inline void trigger(const QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions()) {
        if (action->text() == text)
            return action->trigger();
    }
    QFAIL(qPrintable("no menu entry " + text));
}

inline void hover(QWidget *widget, bool inside = true)
{
    if (inside) {
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), widget->mapToGlobal(QPointF(5, 5)));
        QApplication::sendEvent(widget, &enter);
    } else {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(widget, &leave);
    }
}

inline void click(QWidget *widget, QPoint at = {})
{
    QTest::mouseClick(widget, Qt::LeftButton, {}, at.isNull() ? widget->rect().center() : at);
}

} // namespace UiDriver
