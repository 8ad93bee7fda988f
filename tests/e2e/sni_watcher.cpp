// A minimal StatusNotifierWatcher with a host, on the session bus it is given: what a KDE- or XFCE-style panel
// offers a tray application. When an item registers it prints "item <service>", reads the item's menu through
// com.canonical.dbusmenu and prints "label <text>" for each entry; with --click LABEL it then clicks that entry the
// way a panel does. Exits after the first item, or with status 1 when none registered within ten seconds.
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDateTime>
#include <QTextStream>
#include <QTimer>

namespace {

QTextStream out(stdout);

struct MenuEntry {
    int id = 0;
    QString label;
};

// Walks a dbusmenu layout, (ia{sv}av), collecting every entry that has a label.
void collect(const QDBusArgument &argument, QList<MenuEntry> &entries)
{
    argument.beginStructure();
    int id = 0;
    QVariantMap properties;
    argument >> id >> properties;
    if (properties.contains(QStringLiteral("label")))
        entries.append({id, properties.value(QStringLiteral("label")).toString()});
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        collect(child.variant().value<QDBusArgument>(), entries);
    }
    argument.endArray();
    argument.endStructure();
}

} // namespace

class Watcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
public:
    QString clickLabel;

    QStringList items() const { return m_items; }
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }

public slots:
    void RegisterStatusNotifierItem(const QString &serviceOrPath, const QDBusMessage &message)
    {
        // An item names its bus name, or only an object path on the caller's connection.
        const QString service = serviceOrPath.startsWith(QLatin1Char('/')) ? message.service() : serviceOrPath;
        const QString path =
            serviceOrPath.startsWith(QLatin1Char('/')) ? serviceOrPath : QStringLiteral("/StatusNotifierItem");
        m_items.append(service + path);
        out << "item " << service << Qt::endl;
        QTimer::singleShot(200, this, [this, service, path] { inspect(service, path); });
    }
    void RegisterStatusNotifierHost(const QString &) {}

private:
    void inspect(const QString &service, const QString &path)
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        QDBusInterface item(service, path, QStringLiteral("org.kde.StatusNotifierItem"), bus);
        const QString menuPath = item.property("Menu").value<QDBusObjectPath>().path();
        out << "title " << item.property("Title").toString() << Qt::endl;
        QDBusMessage call = QDBusMessage::createMethodCall(service, menuPath, QStringLiteral("com.canonical.dbusmenu"),
                                                           QStringLiteral("GetLayout"));
        call << 0 << -1 << QStringList();
        const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() < 2) {
            out << "error " << reply.errorMessage() << Qt::endl;
            QCoreApplication::exit(1);
            return;
        }
        QList<MenuEntry> entries;
        collect(reply.arguments().at(1).value<QDBusArgument>(), entries);
        int clickId = -1;
        for (const MenuEntry &entry : entries) {
            out << "label " << entry.label << Qt::endl;
            if (entry.label == clickLabel)
                clickId = entry.id;
        }
        if (clickId >= 0) {
            QDBusMessage event = QDBusMessage::createMethodCall(
                service, menuPath, QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("Event"));
            event << clickId << QStringLiteral("clicked") << QVariant::fromValue(QDBusVariant(0))
                  << uint(QDateTime::currentSecsSinceEpoch());
            bus.call(event, QDBus::Block, 5000);
            out << "clicked " << clickLabel << Qt::endl;
        }
        QCoreApplication::exit(0);
    }

    QStringList m_items;
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Watcher watcher;
    const QStringList args = app.arguments();
    if (const qsizetype at = args.indexOf(QStringLiteral("--click")); at >= 0 && at + 1 < args.size())
        watcher.clickLabel = args.at(at + 1);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties) ||
        !bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"))) {
        out << "error cannot register the watcher: " << bus.lastError().message() << Qt::endl;
        return 1;
    }
    out << "watching" << Qt::endl;
    QTimer::singleShot(10000, &app, [] {
        out << "error no item registered" << Qt::endl;
        QCoreApplication::exit(1);
    });
    return app.exec();
}

#include "sni_watcher.moc"
