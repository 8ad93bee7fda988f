#pragma once

#include <QtTest>

// Use at the start of a test that needs something from this machine (a program, a library, root): under CI=true its
// absence fails the test, because CI installs everything tools/packages.sh lists; elsewhere the test is skipped,
// loudly.
#define REQUIRE_OR_SKIP(present, what)                                                                                 \
    do {                                                                                                               \
        if (!(present)) {                                                                                              \
            const QString missing_ = QStringLiteral("missing: %1 (tools/packages.sh lists it)").arg(what);             \
            if (qEnvironmentVariable("CI") == QLatin1String("true"))                                                   \
                QFAIL(qPrintable(missing_));                                                                           \
            qWarning("*** SKIPPING, %s ***", qPrintable(missing_));                                                    \
            QSKIP(qPrintable(missing_));                                                                               \
        }                                                                                                              \
    } while (false)
