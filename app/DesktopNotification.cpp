#include "app/DesktopNotification.h"

#include <QAtomicInteger>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QFileInfo>
#include <QStringList>
#include <QVariantMap>

namespace kavenra::app {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kApplicationName = QStringLiteral("Kavenra");

// A private connection per notification, so that the address is read again each time and the
// connection is gone when the function returns.
class PrivateBusConnection {
  public:
    explicit PrivateBusConnection(const QString& address)
        : name_(QStringLiteral("kavenra-notification-%1").arg(counter_.fetchAndAddRelaxed(1))),
          connection_(QDBusConnection::connectToBus(address, name_)) {}
    ~PrivateBusConnection() { QDBusConnection::disconnectFromBus(name_); }
    PrivateBusConnection(const PrivateBusConnection&) = delete;
    PrivateBusConnection& operator=(const PrivateBusConnection&) = delete;

    QDBusConnection& get() { return connection_; }

  private:
    static QAtomicInteger<int> counter_;
    QString name_;
    QDBusConnection connection_;
};

QAtomicInteger<int> PrivateBusConnection::counter_;

QDBusMessage NotifyMessage(const DesktopNotice& notice) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    QVariantMap hints;
    // The protocol wants the urgency as a byte; a plain int would be refused by strict servers.
    hints.insert(QStringLiteral("urgency"),
                 QVariant::fromValue(static_cast<uchar>(notice.urgency)));
    hints.insert(QStringLiteral("desktop-entry"), QString::fromLatin1(kNotificationIcon));
    const quint32 replacesNone = 0;
    const qint32 serverDefaultExpiry = -1;
    message << kApplicationName << replacesNone << notice.icon << notice.summary << notice.body
            << QStringList() << hints << serverDefaultExpiry;
    return message;
}

NotificationOutcome OutcomeOfError(const QDBusError& error) {
    switch (error.type()) {
        case QDBusError::ServiceUnknown:
            return NotificationOutcome::NoNotificationService;
        case QDBusError::NoReply:
        case QDBusError::Timeout:
        case QDBusError::TimedOut:
            return NotificationOutcome::NoReply;
        case QDBusError::Disconnected:
        case QDBusError::NoServer:
            return NotificationOutcome::NoSessionBus;
        default:
            return NotificationOutcome::ErrorReply;
    }
}

}  // namespace

QString SessionBusAddress() {
    const QString named = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (!named.isEmpty()) return named;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty()) return QString();
    const QString socket = runtime + QStringLiteral("/bus");
    if (!QFileInfo::exists(socket)) return QString();
    return QStringLiteral("unix:path=") + socket;
}

NotificationResult SendDesktopNotification(const DesktopNotice& notice) {
    NotificationResult result;
    const QString address = SessionBusAddress();
    if (address.isEmpty()) {
        result.detail = QStringLiteral("no session bus address");
        return result;
    }
    PrivateBusConnection bus(address);
    if (!bus.get().isConnected()) {
        result.detail = bus.get().lastError().message();
        return result;
    }
    const QDBusMessage reply =
        bus.get().call(NotifyMessage(notice), QDBus::Block, kNotificationTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        const QDBusError error(reply);
        result.outcome = OutcomeOfError(error);
        result.detail = error.name() + QStringLiteral(": ") + error.message();
        return result;
    }
    if (reply.type() != QDBusMessage::ReplyMessage) {
        result.outcome = NotificationOutcome::ErrorReply;
        result.detail = QStringLiteral("unexpected answer");
        return result;
    }
    result.outcome = NotificationOutcome::Shown;
    result.id = reply.arguments().value(0).toUInt();
    return result;
}

}  // namespace kavenra::app
