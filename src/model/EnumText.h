#pragma once

#include <QMetaEnum>
#include <QString>
#include <optional>

// Texts of enums registered with Q_ENUM or Q_ENUM_NS whose texts are their value names in lower case ("connected"
// for Connected): what the command line prints and the settings store.
template <typename E> QString enumText(E value)
{
    return QString::fromLatin1(QMetaEnum::fromType<E>().valueToKey(int(value))).toLower();
}

// The value with exactly that text, or none.
template <typename E> std::optional<E> enumFromText(QStringView text)
{
    const QMetaEnum meta = QMetaEnum::fromType<E>();
    for (int i = 0; i < meta.keyCount(); ++i) {
        if (text == QString::fromLatin1(meta.key(i)).toLower())
            return E(meta.value(i));
    }
    return std::nullopt;
}
