#pragma once

#include <QString>

// The number of processes whose command line (arguments joined by spaces) holds the text: finds ssh children left
// behind by looking for a tunnel's forward argument ("127.0.0.1:5432:db:5432").
int processesWith(const QString &text);
