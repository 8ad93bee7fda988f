#pragma once

#include <QObject>
#include <optional>

class QDBusMessage;

// The desktop's light or dark preference: the freedesktop settings portal's "color-scheme" where a portal answers,
// else the lightness of the application palette. Reports changes of either.
class SystemColorScheme : public QObject {
    Q_OBJECT
public:
    static SystemColorScheme *instance();

    bool isDark() const;
    // Pins the answer (tests, or a desktop known better than the portal); none returns to the detected value.
    void setOverride(std::optional<bool> dark);

signals:
    void changed(bool dark);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    // The portal's SettingChanged(namespace, key, value): taken as a whole message, so that QtDBus delivers it
    // whatever variant nesting the portal's version uses for the value.
    void portalSettingChanged(const QDBusMessage &message);

private:
    explicit SystemColorScheme(QObject *parent = nullptr);
    void readPortal();
    void applyPortalValue(uint value);
    void notifyIfChanged();
    static bool paletteIsDark();

    std::optional<bool> m_override;
    std::optional<bool> m_portalDark;
    bool m_last = false;
};
