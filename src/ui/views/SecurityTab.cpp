#include "ui/views/SecurityTab.h"

#include "log/Log.h"
#include "model/GeneralSettings.h"
#include "ssh/SSHCommandLine.h"
#include "ui/controls/FWButton.h"
#include "ui/controls/FWLabel.h"
#include "ui/controls/FWTextField.h"
#include "ui/controls/GroupCaption.h"
#include "ui/controls/GroupCard.h"
#include "ui/controls/Icon.h"
#include "ui/controls/OptRow.h"
#include "ui/controls/PrefRow.h"
#include "ui/views/Hairline.h"

#include <QBoxLayout>
#include <QDir>

namespace {

// A default that cannot be written is logged: the field keeps what was typed for this run.
void storeDefault(UserDefaults &defaults, const char *key, const QJsonValue &value)
{
    const WriteResult written = defaults.setValue(QLatin1String(key), value);
    if (!written)
        Log::app(Log::Level::Error, QStringLiteral("could not store %1: %2").arg(QLatin1String(key), written.error));
}

#ifdef Q_OS_MACOS
const char *proxyText =
    "A SOCKS tunnel with “auto-configure system SOCKS proxy” on points the macOS network proxy at it on connect and "
    "restores the prior setting on disconnect. macOS asks for your admin password to change network settings — there "
    "is no background helper installed.";
#else
const char *proxyText =
    "A SOCKS tunnel with “auto-configure system SOCKS proxy” on points your desktop’s proxy settings at it on connect "
    "and restores the prior setting on disconnect. This changes only your own session’s settings (GNOME and desktops "
    "that share its proxy settings), so no administrator password is needed and no background helper is installed; "
    "on other desktops the proxy is left alone.";
#endif

QWidget *sectionCard(const QString &title, QWidget *content)
{
    auto box = new QWidget;
    box->setAttribute(Qt::WA_TranslucentBackground);
    auto column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(new GroupCaption(title));
    column->addWidget(new GroupCard(content));
    return box;
}

QWidget *plain()
{
    auto widget = new QWidget;
    widget->setAttribute(Qt::WA_TranslucentBackground);
    return widget;
}

} // namespace

SecurityTab::SecurityTab(PreferencesServices services, QWidget *parent)
    : QWidget(parent), m_services(std::move(services))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setMaximumWidth(580);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
    Q_ASSERT(m_services.settings);
    UserDefaults &defaults = m_services.settings->defaults();
    auto column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(16);

    // A stored value that is not a boolean counts as on, as for a new tunnel's form.
    const bool strict = defaults.boolean(QLatin1String(UserDefaults::defaultStrictHostKeyKey)).value_or(true);
    m_strict = new OptRow(
        QStringLiteral("Strict host key checking for new tunnels"),
        QStringLiteral("New tunnels verify the server key (accept-new on first connect, reject if it changes). "
                       "Override per tunnel in the editor’s Advanced section."),
        strict);
    connect(m_strict, &OptRow::toggled, this, [this, &defaults](bool on) {
        storeDefault(defaults, UserDefaults::defaultStrictHostKeyKey, on);
        m_strict->setChecked(on);
    });
    auto hostKey = plain();
    auto hostKeyColumn = new QVBoxLayout(hostKey);
    hostKeyColumn->setContentsMargins(0, 8, 0, 8);
    hostKeyColumn->addWidget(m_strict);
    column->addWidget(sectionCard(QStringLiteral("Host Key Verification"), hostKey));

    auto auth = plain();
    auto authColumn = new QVBoxLayout(auth);
    authColumn->setContentsMargins(0, 10, 0, 0);
    authColumn->setSpacing(10);
    auto explanation = new FWLabel(
        QStringLiteral("Flumewire runs ssh with BatchMode and authenticates through your ssh-agent — it never "
                       "prompts for a password. Set a per-tunnel key in the editor’s Advanced section."),
        FWTheme::font(11.5), FWTheme::Role::Text3);
    explanation->setWrapping(true, 1.4);
    authColumn->addWidget(explanation);
    authColumn->addWidget(new Hairline);
    auto identityRow = plain();
    auto identityLine = new QHBoxLayout(identityRow);
    identityLine->setContentsMargins(0, 0, 0, 0);
    identityLine->setSpacing(8);
    m_identity = new FWTextField(QStringLiteral("from ssh-agent / config"));
    m_identity->setText(defaults.string(QLatin1String(UserDefaults::defaultIdentityKey)).value_or(QString()));
    m_identity->setAccessibleName(QStringLiteral("Default identity"));
    connect(m_identity, &QLineEdit::textChanged, this,
            [&defaults](const QString &text) { storeDefault(defaults, UserDefaults::defaultIdentityKey, text); });
    m_choose = new FWButton(QStringLiteral("Choose…"));
    m_choose->setIconName(QStringLiteral("folder"));
    connect(m_choose, &QAbstractButton::clicked, this, &SecurityTab::chooseDefaultIdentity);
    identityLine->addWidget(m_identity, 1);
    identityLine->addWidget(m_choose);
    authColumn->addWidget(new PrefRow(QStringLiteral("Default identity"), identityRow,
                                      QStringLiteral("Prefilled into new tunnels (optional).")));
    column->addWidget(sectionCard(QStringLiteral("Authentication"), auth));

    auto proxy = plain();
    auto proxyLine = new QHBoxLayout(proxy);
    proxyLine->setContentsMargins(0, 10, 0, 10);
    proxyLine->setSpacing(10);
    proxyLine->addWidget(new Icon(QStringLiteral("info"), 16, QFont::Normal, FWTheme::Role::Text2), 0, Qt::AlignTop);
    auto proxyLabel = new FWLabel(QString::fromUtf8(proxyText), FWTheme::font(11.5), FWTheme::Role::Text3);
    proxyLabel->setWrapping(true, 1.45);
    proxyLine->addWidget(proxyLabel, 1);
    column->addWidget(sectionCard(QStringLiteral("System SOCKS Proxy"), proxy));
}

void SecurityTab::chooseDefaultIdentity()
{
    const QString home = m_services.homePath();
    const QString chosen = m_services.choose(QDir(home).filePath(QStringLiteral(".ssh")));
    if (chosen.isEmpty())
        return;
    // Setting the field stores the value through its change handler.
    m_identity->setText(SSHCommandLine::withTilde(chosen, home));
}
