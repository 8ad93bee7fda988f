#include "model/TunnelForm.h"

#include "model/UserDefaults.h"

TunnelForm TunnelForm::fresh(const UserDefaults &defaults)
{
    TunnelForm form;
    form.identity = defaults.string(QLatin1String(UserDefaults::defaultIdentityKey)).value_or(QString());
    form.strictHostKey = defaults.boolean(QLatin1String(UserDefaults::defaultStrictHostKeyKey)).value_or(true);
    return form;
}

TunnelForm TunnelForm::from(const Tunnel &t, const UserDefaults &defaults)
{
    TunnelForm form = fresh(defaults);
    form.type = t.type;
    form.name = t.name;
    form.host = t.host;
    form.sshPort = t.sshPort;
    form.backupHost = t.backupHost;
    form.backupSshPort = t.backupSshPort;
    form.user = t.user;
    form.identity = t.identity;
    form.bind = t.bind;
    form.bindPort = t.bindPort;
    form.targetHost = t.targetHost;
    form.targetPort = t.targetPort;
    form.compression = t.compression;
    form.strictHostKey = t.strictHostKey;
    form.keepAlive = t.keepAlive;
    form.extra = t.extra;
    form.autostart = t.autostart;
    form.autoreconnect = t.autoreconnect;
    form.showInMenu = t.showInMenu;
    form.autoSocksProxy = t.autoSocksProxy;
    form.proxyJump = t.proxyJump;
    form.groupId = t.groupId;
    return form;
}

void TunnelForm::apply(Tunnel &t) const
{
    t.name = name;
    t.type = type;
    t.host = host;
    t.user = user;
    t.sshPort = sshPort;
    t.backupHost = backupHost;
    t.backupSshPort = backupSshPort;
    t.bind = bind;
    t.bindPort = bindPort;
    t.targetHost = targetHost;
    t.targetPort = targetPort;
    t.identity = identity;
    t.compression = compression;
    t.strictHostKey = strictHostKey;
    t.keepAlive = keepAlive;
    t.proxyJump = proxyJump;
    t.extra = extra;
    t.autostart = autostart;
    t.autoreconnect = autoreconnect;
    t.showInMenu = showInMenu;
    t.autoSocksProxy = autoSocksProxy;
    t.groupId = groupId;
}
