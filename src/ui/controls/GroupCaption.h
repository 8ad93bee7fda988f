#pragma once

#include "ui/controls/FWLabel.h"

#include <optional>

// The caption above a GroupCard: its text upper-cased, then " · " and a trailing text left as it is.
class GroupCaption : public QWidget {
    Q_OBJECT
public:
    explicit GroupCaption(const QString &text, const std::optional<QString> &trailing = std::nullopt,
                          QWidget *parent = nullptr);

    static QString captionText(const QString &text, const std::optional<QString> &trailing);
    QString displayedText() const { return m_label->text(); }

private:
    FWLabel *m_label = nullptr;
};
