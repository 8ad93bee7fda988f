#pragma once

#include "ui/controls/FWLabel.h"

// A small upper-case heading above a group of settings.
class SubHead : public QWidget {
    Q_OBJECT
public:
    explicit SubHead(const QString &text, QWidget *parent = nullptr);

    QString displayedText() const { return m_label->text(); }

private:
    FWLabel *m_label = nullptr;
};
