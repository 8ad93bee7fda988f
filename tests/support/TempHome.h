#pragma once

#include <QString>
#include <QTemporaryDir>

// A throw-away home for one test: XDG_DATA_HOME and XDG_CONFIG_HOME point into a fresh temporary folder for as long
// as the object lives, so the store and the defaults never touch the user's real files.
class TempHome {
public:
    TempHome();
    ~TempHome();

    QString path() const { return m_dir.path(); }
    QString dataHome() const { return m_dir.filePath(QStringLiteral("data")); }
    QString configHome() const { return m_dir.filePath(QStringLiteral("config")); }
    // Writes a file below the temporary folder (folders created), returning its path.
    QString write(const QString &relative, const QByteArray &data) const;

private:
    QTemporaryDir m_dir;
    QByteArray m_oldData;
    QByteArray m_oldConfig;
};

// The whole file; empty when it cannot be read.
QByteArray readFile(const QString &path);
// Replaces the file's content (folders created), returning its path.
QString writeFile(const QString &path, const QByteArray &data);
