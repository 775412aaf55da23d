// A StatusNotifierItem host as panels run one (Xfce's panel, Plasma, swaybar): it owns the watcher service
// org.kde.StatusNotifierWatcher on the session bus of DBUS_SESSION_BUS_ADDRESS, says that a host is registered,
// takes the items that register, reads their properties and calls them as a panel does on a click.
//
// Standard output, one line each:
//   "WATCHER"                      the watcher service is on the bus
//   "ITEM <service> <path>"        an item registered
//   "PROPS Status=<s> IconName=<s> Icon=<digest> AttentionIconName=<s> AttentionIcon=<digest> Menu=<path>"
//                                  the item's properties; a digest is the MD5 of the largest picture's pixels
//                                  (ARGB32, as the item sends them), "-" when it sends no picture
//   "CALLED <method>"              the item answered the call
//   "ERROR <text>"                 a call failed
// Commands on standard input, one per line:
//   props                          reads the properties of the last item
//   activate <x> <y>               Activate (a left click on the icon)
//   context <x> <y>                ContextMenu (a right click on a host that draws no menu of its own)
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QSocketNotifier>
#include <QStringList>

#include <cstdio>
#include <unistd.h>

namespace {
const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kItemInterface = QStringLiteral("org.kde.StatusNotifierItem");

void say(const QString& line)
{
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

// IconPixmap and AttentionIconPixmap: a(iiay), one picture per size.
QString pictureDigest(const QVariant& value)
{
    if (!value.canConvert<QDBusArgument>()) {
        return QStringLiteral("-");
    }
    const QDBusArgument argument = value.value<QDBusArgument>();
    QByteArray largest;
    int largestWidth = 0;
    argument.beginArray();
    while (!argument.atEnd()) {
        int width = 0;
        int height = 0;
        QByteArray pixels;
        argument.beginStructure();
        argument >> width >> height >> pixels;
        argument.endStructure();
        if (width > largestWidth && !pixels.isEmpty()) {
            largestWidth = width;
            largest = pixels;
        }
    }
    argument.endArray();
    if (largest.isEmpty()) {
        return QStringLiteral("-");
    }
    return QString::fromLatin1(QCryptographicHash::hash(largest, QCryptographicHash::Md5).toHex());
}
} // namespace

class Watcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)

public:
    explicit Watcher(QDBusConnection bus) : bus_(bus) {}

    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList items() const { return items_; }

    void call(const QString& method, const QVariantList& arguments)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(itemService_, itemPath_, kItemInterface, method);
        message.setArguments(arguments);
        const QDBusMessage reply = bus_.call(message, QDBus::Block, 10000);
        say(reply.type() == QDBusMessage::ErrorMessage ? QStringLiteral("ERROR ") + reply.errorMessage()
                                                       : QStringLiteral("CALLED ") + method);
    }

    void readProperties()
    {
        QDBusMessage message = QDBusMessage::createMethodCall(
            itemService_, itemPath_, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
        message.setArguments({kItemInterface});
        const QDBusMessage reply = bus_.call(message, QDBus::Block, 10000);
        if (reply.type() == QDBusMessage::ErrorMessage || reply.arguments().isEmpty()) {
            say(QStringLiteral("ERROR ") + reply.errorMessage());
            return;
        }
        QVariantMap properties;
        reply.arguments().first().value<QDBusArgument>() >> properties;
        say(QStringLiteral("PROPS Status=%1 IconName=%2 Icon=%3 AttentionIconName=%4 AttentionIcon=%5 Menu=%6")
                .arg(properties.value(QStringLiteral("Status")).toString(),
                     properties.value(QStringLiteral("IconName")).toString(),
                     pictureDigest(properties.value(QStringLiteral("IconPixmap"))),
                     properties.value(QStringLiteral("AttentionIconName")).toString(),
                     pictureDigest(properties.value(QStringLiteral("AttentionIconPixmap"))),
                     properties.value(QStringLiteral("Menu")).value<QDBusObjectPath>().path()));
    }

public slots:
    // An item names its bus name (the path is then /StatusNotifierItem) or, as some toolkits do, its object path
    // on the caller's connection.
    void RegisterStatusNotifierItem(const QString& service, const QDBusMessage& message)
    {
        if (service.startsWith(QLatin1Char('/'))) {
            itemService_ = message.service();
            itemPath_ = service;
        } else {
            itemService_ = service;
            itemPath_ = QStringLiteral("/StatusNotifierItem");
        }
        items_.append(itemService_ + itemPath_);
        say(QStringLiteral("ITEM %1 %2").arg(itemService_, itemPath_));
        emit StatusNotifierItemRegistered(itemService_ + itemPath_);
    }
    void RegisterStatusNotifierHost(const QString&) {}

signals:
    void StatusNotifierItemRegistered(const QString& item);
    void StatusNotifierItemUnregistered(const QString& item);
    void StatusNotifierHostRegistered();

private:
    QDBusConnection bus_;
    QStringList items_;
    QString itemService_;
    QString itemPath_;
};

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        say(QStringLiteral("ERROR no session bus: ") + bus.lastError().message());
        return 1;
    }
    Watcher watcher(bus);
    // The message argument of the registration call gives the caller's bus name.
    if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties |
                                QDBusConnection::ExportAllSignals) ||
        !bus.registerService(QStringLiteral("org.kde.StatusNotifierHost-%1").arg(QCoreApplication::applicationPid())) ||
        !bus.registerService(kWatcherService)) {
        say(QStringLiteral("ERROR ") + bus.lastError().message());
        return 1;
    }
    say(QStringLiteral("WATCHER"));

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, &application, [&] {
        char buffer[256];
        const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (count <= 0) {
            QCoreApplication::quit();
            return;
        }
        pending.append(buffer, qsizetype(count));
        qsizetype end = 0;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QList<QByteArray> words = pending.left(end).trimmed().split(' ');
            pending.remove(0, end + 1);
            const QVariantList place{words.value(1).toInt(), words.value(2).toInt()};
            if (words.first() == "props") {
                watcher.readProperties();
            } else if (words.first() == "activate") {
                watcher.call(QStringLiteral("Activate"), place);
            } else if (words.first() == "context") {
                watcher.call(QStringLiteral("ContextMenu"), place);
            }
        }
    });
    return QCoreApplication::exec();
}

#include "StatusNotifierHost.moc"
