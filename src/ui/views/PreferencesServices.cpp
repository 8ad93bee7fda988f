#include "ui/views/PreferencesServices.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>

QString PreferencesServices::homePath() const
{
    return home.isEmpty() ? QDir::homePath() : home;
}

QString PreferencesServices::choose(const QString &folder) const
{
    if (chooseFile)
        return chooseFile(folder);
    return QFileDialog::getOpenFileName(nullptr, QString(), folder);
}

void PreferencesServices::open(const QUrl &url) const
{
    if (actions.openUrl)
        actions.openUrl(url);
    else
        QDesktopServices::openUrl(url);
}
