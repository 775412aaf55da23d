#include "ui/tray/TrayAccessibility.h"

#include "core/SharedText.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleObject>
#include <QAccessibleWidget>
#include <QApplication>
#include <QList>
#include <QString>
#include <QWidget>

namespace {

// The class of Qt's XEmbed icon window: a private class, known here only by its name.
const char* const kXembedIconClass = "QSystemTrayIconSys";
// The class of the balloon Qt shows at an XEmbed icon, another private class.
const char* const kBalloonClass = "QBalloonTip";

// The icon window read as a button named after the program, whose description says what activating it does.
class XembedIconAccessible : public QAccessibleWidget {
public:
    explicit XembedIconAccessible(QWidget* icon) : QAccessibleWidget(icon, QAccessible::Button) {}

    QString text(QAccessible::Text type) const override
    {
        if (type == QAccessible::Name) {
            return SharedText::get().appName;
        }
        if (type == QAccessible::Description) {
            return TrayAccessibility::xembedIconDescription();
        }
        return QAccessibleWidget::text(type);
    }
};

// The application with the icon windows that a tray embeds after its own windows.
class ApplicationAccessible : public QAccessibleApplication {
public:
    int childCount() const override { return QAccessibleApplication::childCount() + int(embeddedIcons().size()); }

    QAccessibleInterface* child(int index) const override
    {
        const int own = QAccessibleApplication::childCount();
        if (index < own) {
            return QAccessibleApplication::child(index);
        }
        const QList<QWidget*> icons = embeddedIcons();
        return index - own < icons.size() ? QAccessible::queryAccessibleInterface(icons.at(index - own)) : nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        const int own = QAccessibleApplication::indexOfChild(child);
        if (own >= 0 || !child) {
            return own;
        }
        const qsizetype icon = embeddedIcons().indexOf(qobject_cast<QWidget*>(child->object()));
        return icon < 0 ? -1 : QAccessibleApplication::childCount() + int(icon);
    }

private:
    // The shown icon windows that are not among the application's own windows.
    QList<QWidget*> embeddedIcons() const
    {
        QList<QWidget*> icons;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible() && widget->inherits(kXembedIconClass) &&
                QAccessibleApplication::indexOfChild(QAccessible::queryAccessibleInterface(widget)) < 0) {
                icons.append(widget);
            }
        }
        return icons;
    }
};

QAccessibleInterface* trayAccessibleFactory(const QString& className, QObject* object)
{
    if (object && object == qApp && className == QLatin1String(object->metaObject()->className())) {
        return new ApplicationAccessible;
    }
    if (object && object->isWidgetType() && className == QLatin1String(kXembedIconClass)) {
        return new XembedIconAccessible(static_cast<QWidget*>(object));
    }
    return nullptr;
}

} // namespace

QString TrayAccessibility::xembedIconDescription()
{
    return QStringLiteral("Double-click shows the %1 window; right-click opens the menu")
        .arg(SharedText::get().appName);
}

void TrayAccessibility::nameBalloon(const QString& title)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (!widget->inherits(kBalloonClass)) {
            continue;
        }
        widget->setAccessibleName(title);
        for (QAbstractButton* button : widget->findChildren<QAbstractButton*>()) {
            button->setAccessibleName(QStringLiteral("Close"));
        }
    }
}

void TrayAccessibility::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(trayAccessibleFactory);
        return true;
    }();
    Q_UNUSED(installed);
}
