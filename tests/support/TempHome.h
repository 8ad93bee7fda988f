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
    QString dataHome() const;
    QString configHome() const;
    // Writes a file below the temporary folder (folders created), returning its path.
    QString write(const QString &relative, const QByteArray &data) const;

private:
    QTemporaryDir m_dir;
    QByteArray m_oldData;
    QByteArray m_oldConfig;
};
