#include "ui/views/EditorSheet.h"

#include "engine/AppState.h"
#include "ssh/SSHCommandLine.h"
#include "ui/brand/AppIconView.h"
#include "ui/controls/Disclosure.h"
#include "ui/controls/FWButton.h"
#include "ui/controls/FWLabel.h"
#include "ui/controls/FWTextField.h"
#include "ui/controls/Field.h"
#include "ui/controls/OptRow.h"
#include "ui/controls/Segmented.h"
#include "ui/controls/SubHead.h"
#include "ui/controls/WarpToggle.h"
#include "ui/views/CommandPreview.h"
#include "ui/views/GroupNameDialog.h"
#include "ui/views/GroupPicker.h"
#include "ui/views/Hairline.h"
#include "ui/views/PlainIconButton.h"
#include "ui/views/SystemProxyOptionText.h"
#include "ui/views/TestConnectionButton.h"
#include "ui/views/ThinScrollBar.h"

#include <QBoxLayout>
#include <QDir>
#include <QFileDialog>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>

namespace {

// The system-proxy option on its brass panel.
class BrassPanel : public QWidget {
public:
    explicit BrassPanel(QWidget *content, QWidget *parent = nullptr) : QWidget(parent)
    {
        setAttribute(Qt::WA_TranslucentBackground);
        auto box = new QVBoxLayout(this);
        box->setContentsMargins(10, 10, 10, 10);
        box->addWidget(content);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor brass = FWTheme::of(this).brass;
        QPainterPath panel;
        panel.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 9, 9);
        brass.setAlphaF(0.12f);
        painter.fillPath(panel, brass);
        brass.setAlphaF(0.32f);
        painter.strokePath(panel, QPen(brass, 1));
    }
};

// The small brass badge after the system-proxy option's label.
class Badge : public QWidget {
public:
    explicit Badge(const QString &text, QWidget *parent = nullptr) : QWidget(parent), m_text(text)
    {
        setAttribute(Qt::WA_TranslucentBackground);
        setFont(FWTheme::font(9.5, QFont::Bold));
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        setAccessibleName(text);
    }
    QSize sizeHint() const override
    {
        const QFontMetricsF metrics(font());
        return {int(std::ceil(metrics.horizontalAdvance(m_text) + 12)), int(std::ceil(metrics.height() + 2))};
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const FWTheme theme = FWTheme::of(this);
        QColor fill = theme.brass;
        fill.setAlphaF(0.24f);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), 5, 5);
        painter.fillPath(shape, fill);
        painter.setPen(theme.brassDeep);
        painter.drawText(QRectF(rect()), Qt::AlignCenter, m_text);
    }

private:
    QString m_text;
};

QWidget *plainLabel(const QString &text, qreal size, FWTheme::Role role, QWidget *parent = nullptr)
{
    return new FWLabel(text, FWTheme::font(size), role, parent);
}

FWLabel *wrappingLabel(const QString &text, qreal size, FWTheme::Role role)
{
    auto label = new FWLabel(text, FWTheme::font(size), role);
    label->setWrapping(true);
    return label;
}

// Text fields are drawn inside a margin kept for their focus ring: a field "72 wide" is 72 plus that margin.
int fieldWidth(int width)
{
    return width + 2 * FWTextField::ringMargin;
}

} // namespace

EditorSheet::EditorSheet(AppState &state, ViewActions actions, Clock &clock, ConnectionTest test,
                         const TunnelForm &form, const std::optional<QString> &editingId, QWidget *parent)
    : QWidget(parent), m_state(state), m_actions(std::move(actions)), m_clock(clock), m_test(std::move(test)),
      m_form(form), m_editingId(editingId)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(cardWidth, cardHeight);
    auto column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(buildHeader());

    auto typeRow = new QHBoxLayout;
    typeRow->setContentsMargins(18, 13, 18, 13);
    m_type = new Segmented({{QStringLiteral("L"), QStringLiteral("Local (Incoming)")},
                            {QStringLiteral("R"), QStringLiteral("Remote (Outgoing)")},
                            {QStringLiteral("SOCKS"), QStringLiteral("SOCKS")}},
                           typeValue(m_form.type), false, this);
    m_type->setAccessibleName(QStringLiteral("Tunnel type"));
    connect(m_type, &Segmented::selectionChanged, this, [this](const QString &value) {
        // Only the type changes: every other field keeps what was typed, so switching back loses nothing.
        m_form.type = typeFor(value);
        refresh();
    });
    typeRow->addWidget(m_type);
    typeRow->addStretch(1);
    column->addLayout(typeRow);

    auto scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    // Tab goes from field to field; the area itself scrolls to the focused one.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    makeThinScrollBar(scroll->verticalScrollBar());
    auto body = new QWidget;
    body->setAttribute(Qt::WA_TranslucentBackground);
    auto fields = new QVBoxLayout(body);
    fields->setContentsMargins(18, 4, 18, 14);
    fields->setSpacing(11);

    m_name = textField(&TunnelForm::name, QStringLiteral("My Tunnel"), QStringLiteral("Name"));
    fields->addWidget(new Field(QStringLiteral("Name"), m_name));
    m_groupPicker = new GroupPicker;
    m_groupPicker->setAccessibleName(QStringLiteral("Group"));
    connect(m_groupPicker, &GroupPicker::groupChosen, this, &EditorSheet::chooseGroup);
    connect(m_groupPicker, &GroupPicker::newGroupRequested, this, &EditorSheet::beginNewGroup);
    fields->addWidget(new Field(QStringLiteral("Group"), m_groupPicker));

    m_localSection = buildForwardSection(TunnelType::Local);
    m_remoteSection = buildForwardSection(TunnelType::Remote);
    m_socksSection = buildSocksSection();
    for (QWidget *section : {m_localSection, m_remoteSection, m_socksSection})
        fields->addWidget(section);
    fields->addWidget(new Hairline);
    // Closed at every opening, also for a tunnel with advanced settings.
    m_advanced = new Disclosure(QStringLiteral("Advanced"), buildAdvanced(), false);
    fields->addWidget(m_advanced);
    fields->addStretch(1);
    scroll->setWidget(body);
    // The area fills its content by default; the card's own background shows through instead.
    body->setAutoFillBackground(false);
    column->addWidget(scroll, 1);

    m_preview = new CommandPreview(m_clock, this);
    column->addWidget(m_preview);
    column->addWidget(buildFooter());

    connect(&m_state, &AppState::groupsChanged, this, &EditorSheet::refreshGroups);
    refreshGroups();
    refresh();
}

QString EditorSheet::title() const
{
    return m_editingId ? QStringLiteral("Edit Tunnel") : QStringLiteral("New Tunnel");
}

QString EditorSheet::typeValue(TunnelType type)
{
    switch (type) {
    case TunnelType::Local:
        return QStringLiteral("L");
    case TunnelType::Remote:
        return QStringLiteral("R");
    case TunnelType::Socks:
        break;
    }
    return QStringLiteral("SOCKS");
}

TunnelType EditorSheet::typeFor(const QString &value)
{
    if (value == QLatin1String("L"))
        return TunnelType::Local;
    if (value == QLatin1String("R"))
        return TunnelType::Remote;
    return TunnelType::Socks;
}

Tunnel EditorSheet::tunnelFromForm() const
{
    Tunnel tunnel;
    m_form.apply(tunnel);
    return tunnel;
}

QString EditorSheet::currentGroupName() const
{
    if (!m_form.groupId)
        return QStringLiteral("None");
    for (const TunnelGroup &group : m_state.groups()) {
        if (group.id == *m_form.groupId)
            return group.name;
    }
    return QStringLiteral("None");
}

QWidget *EditorSheet::buildHeader()
{
    auto header = new QWidget(this);
    header->setAttribute(Qt::WA_TranslucentBackground);
    auto row = new QHBoxLayout(header);
    row->setContentsMargins(18, 16, 18, 0);
    row->setSpacing(11);
    m_close = new PlainIconButton(QStringLiteral("x"), 15, QFont::Normal, FWTheme::Role::Text, {28, 28}, header);
    m_close->setCircle(true);
    m_close->setAccessibleName(QStringLiteral("Close"));
    m_close->setToolTip(QStringLiteral("Close"));
    connect(m_close, &QAbstractButton::clicked, this, &EditorSheet::close);
    row->addWidget(m_close, 0, Qt::AlignVCenter);
    row->addWidget(new AppIconView(30, 7, m_state.isDevelopmentBuild(), header), 0, Qt::AlignVCenter);
    auto titles = new QVBoxLayout;
    titles->setSpacing(1);
    titles->addWidget(new FWLabel(title(), FWTheme::font(15, QFont::Bold), FWTheme::Role::Text, header));
    titles->addWidget(plainLabel(QStringLiteral("Configure an SSH tunnel"), 12, FWTheme::Role::Text2, header));
    row->addLayout(titles);
    row->addStretch(1);
    return header;
}

FWTextField *EditorSheet::textField(QString TunnelForm::*member, const QString &placeholder,
                                    const QString &accessibleName, bool mono, bool centered)
{
    auto field = new FWTextField(placeholder, mono, false, centered);
    field->setAccessibleName(accessibleName);
    field->setText(m_form.*member);
    field->setCursorPosition(0);
    connect(field, &QLineEdit::textEdited, this, [this, member](const QString &text) {
        // Taken exactly as typed: nothing is trimmed, parsed or rejected here.
        m_form.*member = text;
        refresh();
    });
    m_texts.append({field, member});
    return field;
}

OptRow *EditorSheet::option(bool TunnelForm::*member, const QString &label, const std::optional<QString> &hint,
                            QWidget *badge)
{
    auto row = new OptRow(label, hint, m_form.*member, badge);
    connect(row, &OptRow::toggled, this, [this, member](bool checked) {
        m_form.*member = checked;
        refresh();
    });
    m_options.append({row, member});
    return row;
}

QWidget *EditorSheet::sentenceRow(const QString &lead, FWTextField *host, FWTextField *port)
{
    auto row = new QWidget;
    row->setAttribute(Qt::WA_TranslucentBackground);
    auto line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(7);
    line->addWidget(plainLabel(lead, 12, FWTheme::Role::Text), 0, Qt::AlignVCenter);
    host->setMinimumWidth(fieldWidth(88));
    line->addWidget(host, 1, Qt::AlignVCenter);
    line->addWidget(plainLabel(QStringLiteral("at port"), 12, FWTheme::Role::Text2), 0, Qt::AlignVCenter);
    port->setFixedWidth(fieldWidth(72));
    line->addWidget(port, 0, Qt::AlignVCenter);
    return row;
}

QWidget *EditorSheet::portPair(FWTextField *host, FWTextField *port, int portWidth)
{
    auto pair = new QWidget;
    pair->setAttribute(Qt::WA_TranslucentBackground);
    auto line = new QHBoxLayout(pair);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(4);
    line->addWidget(host, 1);
    auto colon = new FWLabel(QStringLiteral(":"), FWTheme::font(11), FWTheme::Role::Text3);
    line->addWidget(colon, 0, Qt::AlignVCenter);
    port->setFixedWidth(fieldWidth(portWidth));
    line->addWidget(port);
    return pair;
}

QWidget *EditorSheet::buildForwardSection(TunnelType type)
{
    const bool local = type == TunnelType::Local;
    auto section = new QWidget;
    section->setAttribute(Qt::WA_TranslucentBackground);
    auto column = new QVBoxLayout(section);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(9);
    column->addWidget(new SubHead(local ? QStringLiteral("Local (Incoming)") : QStringLiteral("Remote (Outgoing)")));
    column->addWidget(
        plainLabel(local ? QStringLiteral("Create a local tunnel") : QStringLiteral("Create a remote tunnel"), 12,
                   FWTheme::Role::Text2));
    const QString hostPlaceholder = QStringLiteral("host or ssh alias");
    if (local) {
        column->addWidget(sentenceRow(
            QStringLiteral("From host"),
            textField(&TunnelForm::host, hostPlaceholder, QStringLiteral("SSH server host"), true),
            textField(&TunnelForm::targetPort, QStringLiteral("5432"), QStringLiteral("Service port"), true, true)));
        m_localPort =
            textField(&TunnelForm::bindPort, QStringLiteral("5432"), QStringLiteral("Local port"), true, true);
        column->addWidget(sentenceRow(
            QStringLiteral("To local"),
            textField(&TunnelForm::bind, QStringLiteral("localhost"), QStringLiteral("Local bind host"), true),
            m_localPort));
    } else {
        column->addWidget(sentenceRow(
            QStringLiteral("From local"),
            textField(&TunnelForm::targetHost, QStringLiteral("localhost"), QStringLiteral("Local service host"), true),
            textField(&TunnelForm::targetPort, QStringLiteral("3000"), QStringLiteral("Service port"), true, true)));
        m_remotePort =
            textField(&TunnelForm::bindPort, QStringLiteral("3000"), QStringLiteral("Remote port"), true, true);
        column->addWidget(sentenceRow(
            QStringLiteral("To host"),
            textField(&TunnelForm::host, hostPlaceholder, QStringLiteral("SSH server host"), true), m_remotePort));
    }
    column->addWidget(
        wrappingLabel(QStringLiteral("Host may be an ssh alias — port, user and key come from your ssh config."), 10.5,
                      FWTheme::Role::Text3));
    return section;
}

QWidget *EditorSheet::buildSocksSection()
{
    auto section = new QWidget;
    section->setAttribute(Qt::WA_TranslucentBackground);
    auto column = new QVBoxLayout(section);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(9);
    column->addWidget(new SubHead(QStringLiteral("SSH Server")));
    column->addWidget(new Field(
        QStringLiteral("Host"),
        textField(&TunnelForm::host, QStringLiteral("host or ssh alias"), QStringLiteral("SSH server host")),
        QStringLiteral("A host or ~/.ssh/config alias. Port (22), username, key and ProxyJump come from your ssh "
                       "config — override under Advanced."),
        true));
    column->addWidget(new SubHead(QStringLiteral("SOCKS Proxy")));
    column->addWidget(
        new Field(QStringLiteral("Local Bind"),
                  portPair(textField(&TunnelForm::bind, QStringLiteral("localhost"), QStringLiteral("Host")),
                           textField(&TunnelForm::bindPort, QStringLiteral("1080"), QStringLiteral("Port")), 80),
                  QStringLiteral("The local SOCKS5 endpoint apps point at."), true));
    return section;
}

QWidget *EditorSheet::buildAdvanced()
{
    auto content = new QWidget;
    content->setAttribute(Qt::WA_TranslucentBackground);
    auto column = new QVBoxLayout(content);
    column->setContentsMargins(0, 9, 0, 0);
    column->setSpacing(11);

    auto sshPort = new QWidget;
    sshPort->setAttribute(Qt::WA_TranslucentBackground);
    auto sshPortLine = new QHBoxLayout(sshPort);
    sshPortLine->setContentsMargins(0, 0, 0, 0);
    FWTextField *sshPortField = textField(&TunnelForm::sshPort, QStringLiteral("22"), QStringLiteral("SSH port"));
    sshPortField->setFixedWidth(fieldWidth(80));
    sshPortLine->addWidget(sshPortField);
    sshPortLine->addStretch(1);
    column->addWidget(
        new Field(QStringLiteral("SSH Port"), sshPort,
                  QStringLiteral("The SSH server's port. Defaults to 22 (or whatever your ssh config sets "
                                 "for this host)."),
                  true));

    m_backupPort = textField(&TunnelForm::backupSshPort, QStringLiteral("22"), QStringLiteral("Backup SSH port"));
    column->addWidget(new Field(
        QStringLiteral("Backup Host"),
        portPair(textField(&TunnelForm::backupHost, QStringLiteral("optional — fallback host"),
                           QStringLiteral("Backup host")),
                 m_backupPort, 80),
        QStringLiteral("Optional fallback SSH server, tried automatically when the primary is unreachable (e.g. an "
                       "SSM alias at work, a local hostname at home). Empty port reuses the primary's."),
        true));

    m_forwardTarget = new Field(
        QStringLiteral("Forward to host"),
        textField(&TunnelForm::targetHost, QStringLiteral("localhost"), QStringLiteral("Forward target host")),
        QStringLiteral("Where the forward lands, reached from the SSH server. Defaults to the server itself "
                       "(localhost) — set e.g. db.internal to reach a service on another host the server can see "
                       "(through a bastion)."),
        true);
    column->addWidget(m_forwardTarget);
    m_serverBind = new Field(
        QStringLiteral("Server bind address"),
        textField(&TunnelForm::bind, QStringLiteral("localhost"), QStringLiteral("Server bind address")),
        QStringLiteral("Which of the server's interfaces the reverse tunnel listens on. Defaults to localhost; use "
                       "0.0.0.0 to expose it on all interfaces (needs GatewayPorts on the server)."),
        true);
    column->addWidget(m_serverBind);
    column->addWidget(new Hairline);

    column->addWidget(
        new Field(QStringLiteral("Username"),
                  textField(&TunnelForm::user, QStringLiteral("from ssh config"), QStringLiteral("Username")),
                  QStringLiteral("Optional — taken from your ssh config if blank."), true));
    auto identity = new QWidget;
    identity->setAttribute(Qt::WA_TranslucentBackground);
    auto identityLine = new QHBoxLayout(identity);
    identityLine->setContentsMargins(0, 0, 0, 0);
    identityLine->setSpacing(8);
    identityLine->addWidget(
        textField(&TunnelForm::identity, QStringLiteral("from ssh-agent / config"), QStringLiteral("Identity file")),
        1);
    m_chooseIdentity = new FWButton(QStringLiteral("Choose…"), FWButtonStyle::Kind::Normal, false);
    m_chooseIdentity->setIconName(QStringLiteral("folder"));
    m_chooseIdentity->setAccessibleName(QStringLiteral("Choose identity file"));
    connect(m_chooseIdentity, &QAbstractButton::clicked, this, &EditorSheet::chooseIdentity);
    identityLine->addWidget(m_chooseIdentity, 0, Qt::AlignVCenter);
    column->addWidget(new Field(QStringLiteral("Identity File"), identity,
                                QStringLiteral("Optional — defaults to ssh-agent / your ssh config."), true));
    column->addWidget(new Hairline);

    const SystemProxyOptionText proxyText = SystemProxyOptionText::forThisSystem();
    m_systemProxy =
        new BrassPanel(option(&TunnelForm::autoSocksProxy, QStringLiteral("Auto-configure system SOCKS proxy"),
                              proxyText.hint, new Badge(proxyText.badge)));
    column->addWidget(m_systemProxy);
    column->addWidget(
        option(&TunnelForm::compression, QStringLiteral("Compression"), QStringLiteral("Enable ssh -C compression.")));
    column->addWidget(option(&TunnelForm::strictHostKey, QStringLiteral("Strict host key checking"),
                             QStringLiteral("On: trust a new host on first connect (accept-new) but reject a changed "
                                            "key, via ~/.ssh/known_hosts. Off: skip verification.")));

    auto keepAlive = new QWidget;
    keepAlive->setAttribute(Qt::WA_TranslucentBackground);
    auto keepAliveLine = new QHBoxLayout(keepAlive);
    keepAliveLine->setContentsMargins(0, 0, 0, 0);
    keepAliveLine->setSpacing(7);
    FWTextField *keepAliveField = textField(&TunnelForm::keepAlive, QString(), QStringLiteral("Keep-alive seconds"));
    keepAliveField->setFixedWidth(fieldWidth(72));
    keepAliveLine->addWidget(keepAliveField);
    keepAliveLine->addWidget(plainLabel(QStringLiteral("seconds"), 12, FWTheme::Role::Text), 0, Qt::AlignVCenter);
    keepAliveLine->addStretch(1);
    column->addWidget(new Field(QStringLiteral("Keep-alive"), keepAlive));
    column->addWidget(new Field(
        QStringLiteral("ProxyJump"),
        textField(&TunnelForm::proxyJump, QStringLiteral("bastion host (optional)"), QStringLiteral("ProxyJump")),
        QStringLiteral("Multi-hop bastion, e.g. ops@jump.example.net."), true));
    column->addWidget(
        new Field(QStringLiteral("Extra Flags"),
                  textField(&TunnelForm::extra, QStringLiteral("-o TCPKeepAlive=yes"), QStringLiteral("Extra flags")),
                  QStringLiteral("Power-user escape hatch — appended verbatim."), true));
    column->addWidget(new Hairline);
    column->addWidget(
        option(&TunnelForm::autostart, QStringLiteral("Auto-start when Flumewire launches"), std::nullopt));
    column->addWidget(option(&TunnelForm::autoreconnect, QStringLiteral("Auto-reconnect on drop"),
                             QStringLiteral("Exponential backoff.")));
    column->addWidget(option(&TunnelForm::showInMenu, QStringLiteral("Show in menu bar list"), std::nullopt));
    return content;
}

QWidget *EditorSheet::buildFooter()
{
    auto footer = new QWidget(this);
    footer->setAttribute(Qt::WA_TranslucentBackground);
    auto row = new QHBoxLayout(footer);
    row->setContentsMargins(14, 11, 18, 13);
    row->setSpacing(8);
    m_testButton = new TestConnectionButton(footer);
    connect(m_testButton, &QAbstractButton::clicked, this, &EditorSheet::runTest);
    row->addWidget(m_testButton, 0, Qt::AlignVCenter);
    row->addStretch(1);
    m_cancel = new FWButton(QStringLiteral("Cancel"), FWButtonStyle::Kind::Normal, false, footer);
    connect(m_cancel, &QAbstractButton::clicked, this, &EditorSheet::close);
    row->addWidget(m_cancel, 0, Qt::AlignVCenter);
    m_save = new FWButton(QStringLiteral("Save Tunnel"), FWButtonStyle::Kind::Primary, false, footer);
    connect(m_save, &QAbstractButton::clicked, this, &EditorSheet::save);
    row->addWidget(m_save, 0, Qt::AlignVCenter);
    return footer;
}

void EditorSheet::refresh()
{
    for (const TextBinding &binding : std::as_const(m_texts)) {
        const QString &value = m_form.*binding.member;
        // The field being typed in already holds the value; setting it again would move its cursor.
        if (binding.field->text() != value)
            binding.field->setText(value);
    }
    for (const OptionBinding &binding : std::as_const(m_options))
        binding.row->setChecked(m_form.*binding.member);

    m_type->setSelection(typeValue(m_form.type));
    m_localSection->setVisible(m_form.type == TunnelType::Local);
    m_remoteSection->setVisible(m_form.type == TunnelType::Remote);
    m_socksSection->setVisible(m_form.type == TunnelType::Socks);
    m_forwardTarget->setVisible(m_form.type == TunnelType::Local);
    m_serverBind->setVisible(m_form.type == TunnelType::Remote);
    m_systemProxy->setVisible(m_form.type == TunnelType::Socks);

    m_name->setPlaceholderText(m_form.host.isEmpty() ? QStringLiteral("My Tunnel") : m_form.host);
    // The listening port follows the target port until one is typed.
    m_localPort->setPlaceholderText(m_form.targetPort.isEmpty() ? QStringLiteral("5432") : m_form.targetPort);
    m_remotePort->setPlaceholderText(m_form.targetPort.isEmpty() ? QStringLiteral("3000") : m_form.targetPort);
    m_backupPort->setPlaceholderText(m_form.sshPort.isEmpty() ? QStringLiteral("22") : m_form.sshPort);

    m_groupPicker->setText(currentGroupName());
    m_groupPicker->update();
    m_preview->setCommand(tunnelFromForm().displayCommand());

    const bool canSave = !m_form.host.trimmed().isEmpty();
    m_save->setEnabled(canSave);
    m_save->setToolTip(canSave ? QString() : QStringLiteral("Enter a host to save the tunnel"));
}

void EditorSheet::refreshGroups()
{
    QList<TunnelGroup> groups = m_state.groups();
    std::stable_sort(groups.begin(), groups.end(),
                     [](const TunnelGroup &a, const TunnelGroup &b) { return a.order < b.order; });
    m_groupPicker->setGroups(groups);
    m_groupPicker->setText(currentGroupName());
    m_groupPicker->update();
}

void EditorSheet::chooseGroup(const QString &id)
{
    m_form.groupId = id.isEmpty() ? std::nullopt : std::optional<QString>(id);
    refresh();
}

void EditorSheet::beginNewGroup()
{
    if (m_newGroupDialog)
        return;
    m_newGroupDialog = new GroupNameDialog(QStringLiteral("New Group"), QStringLiteral("Create"), QString(), this);
    m_newGroupDialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_newGroupDialog, &QDialog::finished, this, [this](int result) {
        if (result != QDialog::Accepted || !m_newGroupDialog)
            return;
        // A name of only spaces makes no group; the form is then left as it was.
        if (const std::optional<QString> id = m_state.addGroup(m_newGroupDialog->name()))
            chooseGroup(*id);
    });
    m_newGroupDialog->open();
}

void EditorSheet::chooseIdentity()
{
    if (m_identityDialog)
        return;
    const QString home = QDir::homePath();
    m_identityDialog = new QFileDialog(this, QStringLiteral("Choose Identity File"), QDir(home).filePath(".ssh"));
    m_identityDialog->setFileMode(QFileDialog::ExistingFile);
    m_identityDialog->setAcceptMode(QFileDialog::AcceptOpen);
    m_identityDialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_identityDialog, &QFileDialog::fileSelected, this, [this, home](const QString &path) {
        if (path.isEmpty())
            return;
        m_form.identity = SSHCommandLine::withTilde(path, home);
        refresh();
    });
    m_identityDialog->open();
}

void EditorSheet::runTest()
{
    if (m_testButton->testing() || !m_test)
        return;
    const Tunnel tunnel = tunnelFromForm();
    m_testButton->setTesting();
    QPointer<EditorSheet> self(this);
    m_test(tunnel, [self](bool ok, const QString &message) {
        // The editor may have been closed while the test ran.
        if (self)
            self->m_testButton->setResult({ok, message});
    });
}

void EditorSheet::save()
{
    if (m_form.host.trimmed().isEmpty())
        return;
    // The state refuses a form it could not take (or write); the editor then stays open with the form unchanged.
    if (m_state.save(m_form, m_editingId))
        close();
}

void EditorSheet::close()
{
    if (m_actions.closeEditor)
        m_actions.closeEditor();
    else
        window()->close();
}

FWTextField *EditorSheet::shownField(const QString &accessibleName) const
{
    for (const TextBinding &binding : m_texts) {
        if (binding.field->accessibleName() == accessibleName && binding.field->isVisibleTo(this))
            return binding.field;
    }
    return nullptr;
}

OptRow *EditorSheet::shownOption(const QString &label) const
{
    for (const OptionBinding &binding : m_options) {
        if (binding.row->toggle()->accessibleName() == label && binding.row->isVisibleTo(this))
            return binding.row;
    }
    return nullptr;
}

GroupNameDialog *EditorSheet::newGroupDialog() const
{
    return m_newGroupDialog;
}

QFileDialog *EditorSheet::identityDialog() const
{
    return m_identityDialog;
}
