#pragma once

#include <QString>
#include <QStringView>

// Characters that a terminal acts on instead of showing (C0 and C1 controls, DEL, the Unicode line and paragraph
// separators) and the bidirectional overrides that make text display in another order than it is read.
namespace ControlCharacters {

bool isControl(QChar c);
bool contains(QStringView text);
// The text with each such character written as a visible escape: \n, \r, \t, \xHH or \u{HHHH}. A backslash
// followed by one of those forms is not itself escaped: the result is for people to read, not to parse back.
QString escaped(QStringView text);

} // namespace ControlCharacters
