#pragma once

#include <QString>
#include <QUrl>
#include <functional>

// What the views ask of the shell: opening windows, closing the popover or the log, quitting. The views only call
// these; an empty member does nothing.
struct ViewActions {
    std::function<void()> newTunnel;
    // Presents the preferences card (the popover is closed first through closePopover).
    std::function<void()> openPreferences;
    std::function<void()> quit;
    std::function<void(const QString &id)> editTunnel;
    std::function<void(const QString &id)> viewLog;
    // Closes the popover when it is shown.
    std::function<void()> closePopover;
    // Close the log, editor and preferences cards.
    std::function<void()> closeLog;
    std::function<void()> closeEditor;
    std::function<void()> closePreferences;
    // Opens an address with the desktop's default handler; empty means QDesktopServices::openUrl.
    std::function<void(const QUrl &url)> openUrl;
};
