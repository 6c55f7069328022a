#pragma once

// A session bus of the test's own and a desktop notification service on it that records what it
// is sent, so that notifications are checked as the desktop would receive them, without a
// desktop.
//
//   kavenra::testing::SessionBusDaemon bus;
//   QVERIFY2(bus.start(folder.path(), &error), qPrintable(error));
//   kavenra::testing::NotificationServiceRecorder service;
//   QVERIFY2(service.start(bus.address(), NotificationServiceRecorder::Answer::Accept, &error),
//   ...);
//   ... run the code with DBUS_SESSION_BUS_ADDRESS=bus.address() ...
//   QCOMPARE(service.received().value(0).summary, "...");
//
// The service answers from a thread of its own, so code that blocks the test's thread on its
// call is still answered.

#include <QList>
#include <QMutex>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <memory>

class QThread;

namespace kavenra::testing {

// dbus-daemon with the session configuration, listening at `<folder>/bus` (the place a desktop's
// per-user bus has under XDG_RUNTIME_DIR), ended with this object.
class SessionBusDaemon {
  public:
    SessionBusDaemon() = default;
    ~SessionBusDaemon();
    SessionBusDaemon(const SessionBusDaemon&) = delete;
    SessionBusDaemon& operator=(const SessionBusDaemon&) = delete;

    // False, with dbus-daemon's words, when it does not start or name its address.
    bool start(const QString& folder, QString* error);
    QString address() const { return address_; }

  private:
    QProcess process_;
    QString address_;
};

// One org.freedesktop.Notifications.Notify call as the service received it.
struct ReceivedNotice {
    QString appName;
    quint32 replacesId = 0;
    QString icon;
    QString summary;
    QString body;
    QStringList actions;
    QVariantMap hints;
    qint32 expireTimeout = 0;
};

class NotificationServiceRecorder {
  public:
    enum class Answer {
        Accept,  // replies with a new notification number
        Refuse,  // replies with an error
        Silent,  // never replies
    };
    struct Shared {
        mutable QMutex mutex;
        QList<ReceivedNotice> received;
        quint32 lastId = 0;
    };

    NotificationServiceRecorder();
    ~NotificationServiceRecorder();
    NotificationServiceRecorder(const NotificationServiceRecorder&) = delete;
    NotificationServiceRecorder& operator=(const NotificationServiceRecorder&) = delete;

    // Takes the service's name on the bus at `address`; false, with the bus's words, when it
    // cannot.
    bool start(const QString& address, Answer answer, QString* error);

    QList<ReceivedNotice> received() const;
    // The number the service gave the last notification it accepted; 0 before any.
    quint32 lastId() const;

  private:
    void stop();

    std::shared_ptr<Shared> shared_;
    QThread* thread_ = nullptr;
    QObject* service_ = nullptr;
    QString connectionName_;
};

}  // namespace kavenra::testing
