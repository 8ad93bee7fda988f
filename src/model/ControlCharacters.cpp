#include "model/ControlCharacters.h"

namespace ControlCharacters {

bool isControl(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x20 || (u >= 0x7f && u <= 0x9f))
        return true;
    switch (u) {
    case 0x061C: // Arabic letter mark
    case 0x200E: // left-to-right mark
    case 0x200F: // right-to-left mark
    case 0x2028: // line separator
    case 0x2029: // paragraph separator
        return true;
    default:
        return (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069); // embeddings, overrides, isolates
    }
}

bool contains(QStringView text)
{
    for (QChar c : text) {
        if (isControl(c))
            return true;
    }
    return false;
}

QString escaped(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (!isControl(c)) {
            out += c;
            continue;
        }
        switch (c.unicode()) {
        case u'\n':
            out += QLatin1String("\\n");
            break;
        case u'\r':
            out += QLatin1String("\\r");
            break;
        case u'\t':
            out += QLatin1String("\\t");
            break;
        default:
            if (c.unicode() < 0x100)
                out += QLatin1String("\\x") + QString::number(c.unicode(), 16).rightJustified(2, u'0').toUpper();
            else
                out += QStringLiteral("\\u{%1}").arg(QString::number(c.unicode(), 16).toUpper());
        }
    }
    return out;
}

} // namespace ControlCharacters
