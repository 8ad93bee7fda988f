#pragma once

#include "ui/controls/Animator.h"

#include <QAbstractButton>

class Icon;

// A full-width line with a turning chevron and a label that shows or hides the content below it.
class Disclosure : public QWidget {
    Q_OBJECT
public:
    Disclosure(const QString &label, QWidget *content, bool open = false, QWidget *parent = nullptr);

    bool isOpen() const { return m_open; }
    void setOpen(bool open);
    QAbstractButton *header() const { return m_header; }
    // The chevron's turn, 0 closed to 1 open, eased over 0.2 s.
    Animator *turnAnimator() const { return m_turn; }

signals:
    void openChanged(bool open);

private:
    bool m_open = false;
    QAbstractButton *m_header = nullptr;
    QWidget *m_content = nullptr;
    Icon *m_chevron = nullptr;
    Animator *m_turn = nullptr;
};
