#pragma once

#include <QString>
#include <QTemporaryDir>

// Stand-in ssh programs: each is an executable /bin/sh script in a temporary folder, written from the given text
// (typically printf of scripted lines, sleep, exit with a code). The scripts live as long as this object.
class FakeSsh {
public:
    // Writes the script `name` with the shell text `body` after a "#!/bin/sh" line; returns its absolute path.
    QString write(const QString &body, const QString &name = QStringLiteral("ssh"));
    // A script that runs the real client with the given ssh_config in front of its own arguments.
    QString realClientWithConfig(const QString &sshConfigPath, const QString &name = QStringLiteral("ssh-with-config"));
    // The folder that holds the scripts (scripts may write files here).
    QString dir() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};
