#pragma once

#include "model/Tunnel.h"
#include "model/TunnelForm.h"
#include "ui/views/ViewActions.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

class AppState;
class Clock;
class CommandPreview;
class Disclosure;
class FWButton;
class FWTextField;
class GroupPicker;
class GroupNameDialog;
class OptRow;
class PlainIconButton;
class QFileDialog;
class Segmented;
class TestConnectionButton;

// The card in which one tunnel is created or changed. It edits its own copy of a TunnelForm: nothing reaches the
// application state until Save, which closes the card only when the state took the form. It also shows the exact
// ssh command the form would run, and can log in to the server once without starting anything.
class EditorSheet : public QWidget {
    Q_OBJECT
public:
    // Logs in once with the tunnel's settings; `done` runs exactly once, later, on the main thread.
    using ConnectionTest =
        std::function<void(const Tunnel &tunnel, std::function<void(bool ok, const QString &message)> done)>;

    static constexpr int cardWidth = 540;
    static constexpr int cardHeight = 560;

    EditorSheet(AppState &state, ViewActions actions, Clock &clock, ConnectionTest test, const TunnelForm &form,
                const std::optional<QString> &editingId, QWidget *parent = nullptr);

    const TunnelForm &form() const { return m_form; }
    const std::optional<QString> &editingId() const { return m_editingId; }
    QString title() const;

    // "L", "R" or "SOCKS" for a type, and back ("L" local, "R" remote, anything else SOCKS).
    static QString typeValue(TunnelType type);
    static TunnelType typeFor(const QString &value);
    // A new tunnel record with the form applied: what the preview shows and the test logs in with.
    Tunnel tunnelFromForm() const;
    // The name of the form's group as the menu face shows it: "None" when absent or unknown.
    QString currentGroupName() const;

    // The shown text field with this accessible name (fields in a hidden type section or a closed Advanced section
    // are not shown), or null.
    FWTextField *shownField(const QString &accessibleName) const;
    // The shown option row with this label, or null.
    OptRow *shownOption(const QString &label) const;
    Segmented *typeSelector() const { return m_type; }
    GroupPicker *groupPicker() const { return m_groupPicker; }
    Disclosure *advanced() const { return m_advanced; }
    CommandPreview *preview() const { return m_preview; }
    TestConnectionButton *testButton() const { return m_testButton; }
    FWButton *saveButton() const { return m_save; }
    FWButton *cancelButton() const { return m_cancel; }
    FWButton *chooseIdentityButton() const { return m_chooseIdentity; }
    PlainIconButton *closeButton() const { return m_close; }
    // The open "New Group" prompt and identity file panel, or null.
    GroupNameDialog *newGroupDialog() const;
    QFileDialog *identityDialog() const;

    QSize sizeHint() const override { return {cardWidth, cardHeight}; }

private:
    struct TextBinding {
        FWTextField *field;
        QString TunnelForm::*member;
    };
    struct OptionBinding {
        OptRow *row;
        bool TunnelForm::*member;
    };

    QWidget *buildHeader();
    QWidget *buildForwardSection(TunnelType type);
    QWidget *buildSocksSection();
    QWidget *buildAdvanced();
    QWidget *buildFooter();
    QWidget *sentenceRow(const QString &lead, FWTextField *host, FWTextField *port);
    QWidget *portPair(FWTextField *host, FWTextField *port, int portWidth);
    FWTextField *textField(QString TunnelForm::*member, const QString &placeholder, const QString &accessibleName,
                           bool mono = false, bool centered = false);
    OptRow *option(bool TunnelForm::*member, const QString &label, const std::optional<QString> &hint,
                   QWidget *badge = nullptr);

    // Brings every control, placeholder, the preview and the Save button in line with the form.
    void refresh();
    void refreshGroups();
    void chooseGroup(const QString &id);
    void beginNewGroup();
    void chooseIdentity();
    void runTest();
    void save();
    void close();

    AppState &m_state;
    ViewActions m_actions;
    Clock &m_clock;
    ConnectionTest m_test;
    TunnelForm m_form;
    std::optional<QString> m_editingId;

    QList<TextBinding> m_texts;
    QList<OptionBinding> m_options;
    Segmented *m_type = nullptr;
    FWTextField *m_name = nullptr;
    GroupPicker *m_groupPicker = nullptr;
    QWidget *m_localSection = nullptr;
    QWidget *m_remoteSection = nullptr;
    QWidget *m_socksSection = nullptr;
    FWTextField *m_localPort = nullptr;  // local: bindPort, following targetPort
    FWTextField *m_remotePort = nullptr; // remote: bindPort, following targetPort
    FWTextField *m_backupPort = nullptr;
    QWidget *m_forwardTarget = nullptr; // local only
    QWidget *m_serverBind = nullptr;    // remote only
    QWidget *m_systemProxy = nullptr;   // SOCKS only
    Disclosure *m_advanced = nullptr;
    FWButton *m_chooseIdentity = nullptr;
    CommandPreview *m_preview = nullptr;
    TestConnectionButton *m_testButton = nullptr;
    FWButton *m_cancel = nullptr;
    FWButton *m_save = nullptr;
    PlainIconButton *m_close = nullptr;
    QPointer<GroupNameDialog> m_newGroupDialog;
    QPointer<QFileDialog> m_identityDialog;
};
