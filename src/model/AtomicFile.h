#pragma once

#include <QByteArray>
#include <QString>

// The outcome of a write: an empty error means the file now holds the data, durably.
struct WriteResult {
    QString error;

    bool ok() const { return error.isEmpty(); }
    explicit operator bool() const { return ok(); }
};

// The one way Flumewire writes a file: the data goes to a temporary file beside the target without buffering (so a
// full disk shows at the write, not after it), is synced to disk, and only then renamed over the target; the
// folder is synced too. The result is readable and writable by the user only. On any failure the previous file is
// left exactly as it was and the error names the file and the reason.
namespace AtomicFile {

// Creates the parent folder when it is missing.
WriteResult write(const QString &path, const QByteArray &data);

} // namespace AtomicFile
