// The desktop notification of a run without a window, sent over a session bus of the test's own
// to a recording notification service: what arrives there, and the value the sender returns when
// there is no bus, no service, a refusal or no answer.

#include "app/DesktopNotification.h"
#include "support/HostileWorkerProbe.h"
#include "support/NotificationRecorder.h"

#include <QTemporaryDir>
#include <QTest>

using kavenra::app::DesktopNotice;
using kavenra::app::NotificationOutcome;
using kavenra::app::NotificationResult;
using kavenra::app::NotificationUrgency;
using kavenra::app::SendDesktopNotification;
using kavenra::testing::NotificationServiceRecorder;
using kavenra::testing::ReceivedNotice;
using kavenra::testing::ScopedEnvironment;
using kavenra::testing::SessionBusDaemon;

Q_DECLARE_METATYPE(NotificationUrgency)
Q_DECLARE_METATYPE(NotificationOutcome)
Q_DECLARE_METATYPE(NotificationServiceRecorder::Answer)

namespace {

// How the program is told where the session bus is.
enum class BusNamed { ByAddress, ByRuntimeFolder, Nowhere, AtMissingSocket };

}  // namespace

Q_DECLARE_METATYPE(BusNamed)

class TestDesktopNotification : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();

    void serviceReceivesTheNotice_data();
    void serviceReceivesTheNotice();
    void failureSaysWhy_data();
    void failureSaysWhy();

  private:
    // The environment that names the test's bus as `named` says, for the life of the result.
    struct BusEnvironment {
        std::unique_ptr<ScopedEnvironment> address;
        std::unique_ptr<ScopedEnvironment> runtime;
    };
    BusEnvironment nameBus(BusNamed named);

    QTemporaryDir m_busFolder;
    QTemporaryDir m_emptyFolder;
    SessionBusDaemon m_bus;
};

void TestDesktopNotification::initTestCase() {
    QVERIFY(m_busFolder.isValid() && m_emptyFolder.isValid());
    QString error;
    QVERIFY2(m_bus.start(m_busFolder.path(), &error), qPrintable(error));
}

TestDesktopNotification::BusEnvironment TestDesktopNotification::nameBus(BusNamed named) {
    QByteArray address;  // null: unset
    QByteArray runtime;
    switch (named) {
        case BusNamed::ByAddress:
            address = m_bus.address().toUtf8();
            runtime = m_emptyFolder.path().toUtf8();
            break;
        case BusNamed::ByRuntimeFolder:
            runtime = m_busFolder.path().toUtf8();
            break;
        case BusNamed::Nowhere:
            runtime = m_emptyFolder.path().toUtf8();
            break;
        case BusNamed::AtMissingSocket:
            address = QStringLiteral("unix:path=%1/bus").arg(m_emptyFolder.path()).toUtf8();
            break;
    }
    BusEnvironment environment;
    environment.address = std::make_unique<ScopedEnvironment>("DBUS_SESSION_BUS_ADDRESS", address);
    environment.runtime = std::make_unique<ScopedEnvironment>("XDG_RUNTIME_DIR", runtime);
    return environment;
}

void TestDesktopNotification::serviceReceivesTheNotice_data() {
    QTest::addColumn<BusNamed>("named");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QString>("body");
    QTest::addColumn<NotificationUrgency>("urgency");
    QTest::addColumn<uchar>("urgencyByte");

    QTest::newRow("all written, by address")
        << BusNamed::ByAddress << "Resizing finished"
        << "4 of 4 images written." << NotificationUrgency::Normal << uchar(1);
    QTest::newRow("some failed, by the per-user bus")
        << BusNamed::ByRuntimeFolder << "Redimensionamento concluído"
        << "3 de 4 imagens escritas.\nfoto ñ 1.jpg: não suportado" << NotificationUrgency::Critical
        << uchar(2);
    QTest::newRow("low") << BusNamed::ByAddress << "Größe geändert"
                         << "" << NotificationUrgency::Low << uchar(0);
}

void TestDesktopNotification::serviceReceivesTheNotice() {
    QFETCH(BusNamed, named);
    QFETCH(QString, summary);
    QFETCH(QString, body);
    QFETCH(NotificationUrgency, urgency);
    QFETCH(uchar, urgencyByte);
    NotificationServiceRecorder service;
    QString error;
    QVERIFY2(service.start(m_bus.address(), NotificationServiceRecorder::Answer::Accept, &error),
             qPrintable(error));
    const BusEnvironment environment = nameBus(named);

    DesktopNotice notice;
    notice.summary = summary;
    notice.body = body;
    notice.urgency = urgency;
    const NotificationResult result = SendDesktopNotification(notice);

    QVERIFY2(result.shown(), qPrintable(result.detail));
    QCOMPARE(result.id, service.lastId());
    const QList<ReceivedNotice> received = service.received();
    QCOMPARE(received.size(), 1);
    const ReceivedNotice& arrived = received.first();
    QCOMPARE(arrived.appName, QStringLiteral("Kavenra"));
    QCOMPARE(arrived.icon, QStringLiteral("org.kavenra.Kavenra"));
    QCOMPARE(arrived.summary, summary);
    QCOMPARE(arrived.body, body);
    QCOMPARE(arrived.replacesId, 0u);
    QVERIFY(arrived.actions.isEmpty());
    // The protocol's hint is a byte; servers ignore an urgency of any other type.
    const QVariant hint = arrived.hints.value(QStringLiteral("urgency"));
    QCOMPARE(hint.metaType(), QMetaType::fromType<uchar>());
    QCOMPARE(hint.value<uchar>(), urgencyByte);
    QCOMPARE(arrived.hints.value(QStringLiteral("desktop-entry")).toString(),
             QStringLiteral("org.kavenra.Kavenra"));
}

void TestDesktopNotification::failureSaysWhy_data() {
    QTest::addColumn<BusNamed>("named");
    // Whether a notification service runs on the bus, and how it answers.
    QTest::addColumn<bool>("serviceRuns");
    QTest::addColumn<NotificationServiceRecorder::Answer>("answer");
    QTest::addColumn<NotificationOutcome>("outcome");
    QTest::addColumn<int>("received");  // calls the service saw

    using Answer = NotificationServiceRecorder::Answer;
    QTest::newRow("no bus named") << BusNamed::Nowhere << true << Answer::Accept
                                  << NotificationOutcome::NoSessionBus << 0;
    QTest::newRow("no bus at the address") << BusNamed::AtMissingSocket << true << Answer::Accept
                                           << NotificationOutcome::NoSessionBus << 0;
    QTest::newRow("bus without the service") << BusNamed::ByAddress << false << Answer::Accept
                                             << NotificationOutcome::NoNotificationService << 0;
    QTest::newRow("service refuses")
        << BusNamed::ByAddress << true << Answer::Refuse << NotificationOutcome::ErrorReply << 1;
    // Returns once its wait is over instead of hanging the end of the run.
    QTest::newRow("service never answers")
        << BusNamed::ByAddress << true << Answer::Silent << NotificationOutcome::NoReply << 1;
}

void TestDesktopNotification::failureSaysWhy() {
    QFETCH(BusNamed, named);
    QFETCH(bool, serviceRuns);
    QFETCH(NotificationServiceRecorder::Answer, answer);
    QFETCH(NotificationOutcome, outcome);
    QFETCH(int, received);
    NotificationServiceRecorder service;
    if (serviceRuns) {
        QString error;
        QVERIFY2(service.start(m_bus.address(), answer, &error), qPrintable(error));
    }
    const BusEnvironment environment = nameBus(named);

    DesktopNotice notice;
    notice.summary = QStringLiteral("Resizing finished");
    const NotificationResult result = SendDesktopNotification(notice);

    QCOMPARE(result.outcome, outcome);
    QVERIFY(!result.shown());
    QVERIFY2(!result.detail.isEmpty(), "a failure without words");
    QCOMPARE(service.received().size(), received);
}

QTEST_GUILESS_MAIN(TestDesktopNotification)
#include "test_desktop_notification.moc"
