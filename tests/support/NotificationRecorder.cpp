#include "support/NotificationRecorder.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusMessage>
#include <QMutexLocker>
#include <QObject>
#include <QStandardPaths>
#include <QThread>

namespace kavenra::testing {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

}  // namespace

class RecordingNotifications : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

  public:
    RecordingNotifications(std::shared_ptr<NotificationServiceRecorder::Shared> shared,
                           NotificationServiceRecorder::Answer answer)
        : shared_(std::move(shared)), answer_(answer) {}

  public slots:
    uint Notify(const QString& appName, uint replacesId, const QString& icon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int expireTimeout) {
        quint32 id = 0;
        {
            QMutexLocker lock(&shared_->mutex);
            shared_->received.append(
                {appName, replacesId, icon, summary, body, actions, hints, expireTimeout});
            if (answer_ == NotificationServiceRecorder::Answer::Accept) id = ++shared_->lastId;
        }
        if (answer_ == NotificationServiceRecorder::Answer::Refuse) {
            sendErrorReply(QStringLiteral("org.freedesktop.Notifications.Error.Refused"),
                           QStringLiteral("refused by the test"));
        } else if (answer_ == NotificationServiceRecorder::Answer::Silent) {
            setDelayedReply(true);  // and never reply
        }
        return id;
    }

    QStringList GetCapabilities() { return {QStringLiteral("body")}; }

  private:
    std::shared_ptr<NotificationServiceRecorder::Shared> shared_;
    NotificationServiceRecorder::Answer answer_;
};

SessionBusDaemon::~SessionBusDaemon() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(-1)) process_.kill();
}

bool SessionBusDaemon::start(const QString& folder, QString* error) {
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty()) {
        *error = QStringLiteral("dbus-daemon is not installed");
        return false;
    }
    process_.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                            QStringLiteral("--print-address"),
                            QStringLiteral("--address=unix:path=%1/bus").arg(folder)});
    while (process_.state() != QProcess::NotRunning && !process_.canReadLine()) {
        process_.waitForReadyRead(-1);
    }
    address_ = QString::fromUtf8(process_.readLine()).trimmed();
    if (address_.isEmpty()) {
        *error = QStringLiteral("dbus-daemon named no address: ") +
                 QString::fromUtf8(process_.readAllStandardError());
        return false;
    }
    return true;
}

NotificationServiceRecorder::NotificationServiceRecorder() : shared_(std::make_shared<Shared>()) {}

NotificationServiceRecorder::~NotificationServiceRecorder() {
    stop();
}

bool NotificationServiceRecorder::start(const QString& address, Answer answer, QString* error) {
    static int started = 0;
    connectionName_ = QStringLiteral("kavenra-test-notifications-%1").arg(++started);
    QDBusConnection bus = QDBusConnection::connectToBus(address, connectionName_);
    if (!bus.isConnected()) {
        *error = bus.lastError().message();
        return false;
    }
    thread_ = new QThread;
    service_ = new RecordingNotifications(shared_, answer);
    service_->moveToThread(thread_);
    thread_->start();
    if (!bus.registerObject(kPath, service_, QDBusConnection::ExportAllSlots) ||
        !bus.registerService(kService)) {
        *error = bus.lastError().message();
        return false;
    }
    return true;
}

void NotificationServiceRecorder::stop() {
    if (connectionName_.isEmpty()) return;
    {
        QDBusConnection bus(connectionName_);
        bus.unregisterService(kService);
        bus.unregisterObject(kPath);
    }
    QDBusConnection::disconnectFromBus(connectionName_);
    if (thread_) {
        thread_->quit();
        thread_->wait();
    }
    delete service_;
    delete thread_;
}

QList<ReceivedNotice> NotificationServiceRecorder::received() const {
    QMutexLocker lock(&shared_->mutex);
    return shared_->received;
}

quint32 NotificationServiceRecorder::lastId() const {
    QMutexLocker lock(&shared_->mutex);
    return shared_->lastId;
}

}  // namespace kavenra::testing

#include "NotificationRecorder.moc"
