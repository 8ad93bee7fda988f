#include "ui/controls/ControlAccessibility.h"

#include "ui/controls/WarpToggle.h"

#include <QAccessibleWidget>

namespace {

class SwitchAccessible : public QAccessibleWidget {
public:
    explicit SwitchAccessible(WarpToggle *toggle) : QAccessibleWidget(toggle, QAccessible::CheckBox) {}

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = static_cast<WarpToggle *>(widget())->isOn();
        return state;
    }

    QStringList actionNames() const override { return QStringList{toggleAction()} << QAccessibleWidget::actionNames(); }

    void doAction(const QString &name) override
    {
        if (name == toggleAction() || name == pressAction())
            static_cast<WarpToggle *>(widget())->click();
        else
            QAccessibleWidget::doAction(name);
    }
};

QAccessibleInterface *factory(const QString &className, QObject *object)
{
    if (className == QLatin1String("WarpToggle") && object && object->isWidgetType())
        return new SwitchAccessible(static_cast<WarpToggle *>(object));
    return nullptr;
}

} // namespace

void ControlAccessibility::install()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(factory);
}
