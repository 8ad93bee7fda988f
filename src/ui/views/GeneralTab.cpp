#include "ui/views/GeneralTab.h"

#include "engine/AppState.h"
#include "model/GeneralSettings.h"
#include "system/LoginItem.h"
#include "ui/controls/FWLabel.h"
#include "ui/controls/GroupCaption.h"
#include "ui/controls/GroupCard.h"
#include "ui/controls/PrefRow.h"
#include "ui/controls/Segmented.h"
#include "ui/controls/WarpToggle.h"
#include "ui/views/Hairline.h"

#include <QBoxLayout>

namespace {

#ifdef Q_OS_MACOS
const char *loginHint = "Start Flumewire when you sign in (SMAppService).";
#else
const char *loginHint = "Start Flumewire when you sign in (an autostart entry).";
#endif

// A switch at the trailing end of a preferences row.
QWidget *trailing(QWidget *control)
{
    auto box = new QWidget;
    box->setAttribute(Qt::WA_TranslucentBackground);
    auto row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    row->addStretch(1);
    row->addWidget(control);
    return box;
}

WarpToggle *makeSwitch(bool on, std::function<bool(bool)> store, std::function<bool()> read)
{
    auto toggle = new WarpToggle(on, TunnelStatus::Connected, false);
    QObject::connect(toggle, &WarpToggle::changed, toggle,
                     [toggle, store = std::move(store), read = std::move(read)](bool value) {
                         store(value);
                         toggle->setOn(read());
                     });
    return toggle;
}

// A titled (or untitled) card of rows separated by hairlines.
QWidget *section(const std::optional<QString> &title, const QList<QWidget *> &rows)
{
    auto box = new QWidget;
    box->setAttribute(Qt::WA_TranslucentBackground);
    auto column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    if (title)
        column->addWidget(new GroupCaption(*title));
    auto inner = new QWidget;
    inner->setAttribute(Qt::WA_TranslucentBackground);
    auto list = new QVBoxLayout(inner);
    list->setContentsMargins(0, 0, 0, 0);
    list->setSpacing(0);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (i > 0)
            list->addWidget(new Hairline);
        list->addWidget(rows.at(i));
    }
    column->addWidget(new GroupCard(inner));
    return box;
}

} // namespace

GeneralTab::GeneralTab(AppState &state, PreferencesServices services, QWidget *parent)
    : QWidget(parent), m_state(state), m_services(std::move(services))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setMaximumWidth(560);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
    auto column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(16);
    GeneralSettings *settings = m_services.settings;
    Q_ASSERT(settings);

    LoginItem *login = m_services.loginItem;
    m_login = new WarpToggle(login && login->isEnabled(), TunnelStatus::Connected, false);
    m_login->setEnabled(login != nullptr);
    connect(m_login, &WarpToggle::changed, this, &GeneralTab::setLogin);
    m_login->setAccessibleName(QStringLiteral("Launch at login"));
    auto loginBox = new QWidget;
    loginBox->setAttribute(Qt::WA_TranslucentBackground);
    auto loginColumn = new QVBoxLayout(loginBox);
    loginColumn->setContentsMargins(0, 0, 0, 0);
    loginColumn->setSpacing(0);
    loginColumn->addWidget(
        new PrefRow(QStringLiteral("Launch at login"), trailing(m_login), QString::fromUtf8(loginHint)));
    m_loginError = new FWLabel({}, FWTheme::font(11), FWTheme::Role::StRed);
    m_loginError->setWrapping(true, 1.4);
    m_loginError->hide();
    loginColumn->addWidget(m_loginError);
    column->addWidget(section(std::nullopt, {loginBox}));

    m_notifyConnect = makeSwitch(
        settings->notifyOnConnect(), [settings](bool on) { return settings->setNotifyOnConnect(on); },
        [settings] { return settings->notifyOnConnect(); });
    m_notifyConnect->setAccessibleName(QStringLiteral("Notify on connect"));
    m_notifyDisconnect = makeSwitch(
        settings->notifyOnDisconnect(), [settings](bool on) { return settings->setNotifyOnDisconnect(on); },
        [settings] { return settings->notifyOnDisconnect(); });
    m_notifyDisconnect->setAccessibleName(QStringLiteral("Notify on disconnect"));
    column->addWidget(section(QStringLiteral("Notifications"),
                              {new PrefRow(QStringLiteral("Notify on connect"), trailing(m_notifyConnect)),
                               new PrefRow(QStringLiteral("Notify on disconnect"), trailing(m_notifyDisconnect))}));

    m_sleepDisconnect = makeSwitch(
        settings->disconnectOnSleep(), [settings](bool on) { return settings->setDisconnectOnSleep(on); },
        [settings] { return settings->disconnectOnSleep(); });
    m_sleepDisconnect->setAccessibleName(QStringLiteral("Disconnect tunnels on sleep"));
    m_wakeReconnect = makeSwitch(
        settings->reconnectOnWake(), [settings](bool on) { return settings->setReconnectOnWake(on); },
        [settings] { return settings->reconnectOnWake(); });
    m_wakeReconnect->setAccessibleName(QStringLiteral("Reconnect on wake"));
    column->addWidget(
        section(QStringLiteral("Sleep & Wake"),
                {new PrefRow(QStringLiteral("Disconnect tunnels on sleep"), trailing(m_sleepDisconnect)),
                 new PrefRow(QStringLiteral("Reconnect on wake"), trailing(m_wakeReconnect),
                             QStringLiteral("Re-establish active tunnels right after wake for faster recovery."))}));

    m_appearance = new Segmented({{QStringLiteral("auto"), QStringLiteral("Auto")},
                                  {QStringLiteral("light"), QStringLiteral("Light")},
                                  {QStringLiteral("dark"), QStringLiteral("Dark")}},
                                 textOf(m_state.appearance()));
    m_appearance->setAccessibleName(QStringLiteral("Appearance"));
    connect(m_appearance, &Segmented::selectionChanged, this,
            [this](const QString &value) { m_state.setAppearance(GeneralSettings::appearanceFrom(value)); });
    connect(&m_state, &AppState::appearanceChanged, this,
            [this](Appearance appearance) { m_appearance->setSelection(textOf(appearance)); });
    column->addWidget(
        section(QStringLiteral("Theme"), {new PrefRow(QStringLiteral("Appearance"), trailing(m_appearance),
                                                      QStringLiteral("Matches the prototype preview."))}));
}

void GeneralTab::setLogin(bool on)
{
    LoginItem *login = m_services.loginItem;
    if (!login)
        return;
    const std::optional<QString> error = login->setEnabled(on);
    // The switch shows the entry as it is, whatever was asked.
    m_login->setOn(login->isEnabled());
    m_loginError->setText(error ? QStringLiteral("Could not change the autostart entry: %1").arg(*error) : QString());
    m_loginError->setVisible(error.has_value());
}

QString GeneralTab::loginError() const
{
    return m_loginError->text();
}
