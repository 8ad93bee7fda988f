#pragma once

#include "ui/views/ViewActions.h"

#include <QString>
#include <QUrl>
#include <functional>

class GeneralSettings;
class LoginItem;

// What the preferences card needs from the shell besides the state: the stored settings, the autostart entry, the
// build's name and version, and the desktop's file-open panel (tests answer it themselves).
struct PreferencesServices {
    GeneralSettings *settings = nullptr;
    LoginItem *loginItem = nullptr;
    ViewActions actions;
    // Closes the preferences card.
    std::function<void()> close;
    bool dev = false;
    QString displayName;
    QString versionText;
    // Asks for one existing file, starting in `folder`; an empty result means the user cancelled. Empty: the
    // desktop's file-open panel.
    std::function<QString(const QString &folder)> chooseFile;
    // Only with a software updater: checks for updates. Empty means there is none (the About tab shows no button).
    std::function<void()> checkForUpdates;
    // The user's home folder; empty means the real one.
    QString home;

    QString homePath() const;
    QString choose(const QString &folder) const;
    void open(const QUrl &url) const;
};
