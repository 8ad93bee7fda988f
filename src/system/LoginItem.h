#pragma once

#include <QString>
#include <optional>

// Starting Flumewire when the user signs in, through an XDG autostart entry
// ($XDG_CONFIG_HOME/autostart/flumewire.desktop). The entry itself is the setting: nothing else records it.
class LoginItem {
public:
    // `program` is what the entry runs (empty: this program); `path` the entry file (empty: the standard place).
    explicit LoginItem(QString program = {}, QString path = {});

    static QString defaultPath();
    // The program the user starts: this executable, or the launcher `flumewire` beside (or on the PATH of) a tray
    // program that was started by it.
    static QString defaultProgram();

    QString path() const { return m_path; }
    QString program() const { return m_program; }
    // The entry exists and is not switched off inside (Hidden=true, or X-GNOME-Autostart-enabled=false).
    bool isEnabled() const;
    // Writes or removes the entry. Returns the reason when that failed; the entry is then as it was.
    std::optional<QString> setEnabled(bool on);

    // The desktop entry's text.
    QByteArray entryText() const;
    // One Exec argument quoted as the desktop entry format requires.
    static QString quoteExecArgument(const QString &argument);

private:
    QString m_program;
    QString m_path;
};
