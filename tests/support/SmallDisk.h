#pragma once

#include "support/Require.h"

#include <QFile>
#include <QString>
#include <QTemporaryDir>

// A real, tiny file system (a 64 KiB tmpfs mounted on a temporary folder) that a test can fill to the last byte, so
// that writes fail with "no space left" exactly as on a full disk. Mounting needs root, which CI has; elsewhere
// the test using it is skipped, loudly (SMALL_DISK_OR_SKIP), and under CI=true it fails instead.
class SmallDisk {
public:
    SmallDisk();
    ~SmallDisk();

    bool mounted() const { return m_mounted; }
    QString whyNot() const { return m_whyNot; }
    QString path() const { return m_dir.path(); }
    // Writes a filler file until the file system refuses another byte, then frees `sparePages` pages of 4 KiB again
    // (room for a lock file, say, but not for the data).
    void fill(int sparePages = 0);
    // Removes the filler.
    void freeUp() { QFile::remove(path() + QStringLiteral("/.filler")); }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    QString m_whyNot;
};

#define SMALL_DISK_OR_SKIP(disk) REQUIRE_OR_SKIP((disk).mounted(), "a small file system to fill: " + (disk).whyNot())
