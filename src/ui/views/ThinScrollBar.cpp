#include "ui/views/ThinScrollBar.h"

#include <QScrollBar>

void makeThinScrollBar(QScrollBar *bar)
{
    // A mid grey at half strength reads on both the light and the dark backgrounds.
    bar->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { background: transparent; width: 8px; margin: 2px 1px 2px 1px; }"
        "QScrollBar::handle:vertical { background: rgba(128, 128, 128, 128); border-radius: 3px; min-height: 24px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0px; border: none; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }"));
}
