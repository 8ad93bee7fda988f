#pragma once

#include <QString>

// Text from a tunnel (a name, or a reason taken from a server's messages) made safe to print on one terminal line:
// control characters, which could move the cursor or end the line, become the replacement character.
inline QString printable(QString text)
{
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control)
            c = QChar::ReplacementCharacter;
    }
    return text;
}
