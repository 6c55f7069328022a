// How long the rest of a run should take, as the window's status bar and the terminal's progress
// line tell it: the estimate from the files done so far, and the clock it is written on.

#include "engine/run/TimeLeft.h"

#include <QTest>

#include <optional>

Q_DECLARE_METATYPE(std::optional<qint64>)

class TestTimeLeft : public QObject {
    Q_OBJECT

  private slots:
    void secondsLeft_data();
    void secondsLeft();
    void clockDuration_data();
    void clockDuration();
};

void TestTimeLeft::secondsLeft_data() {
    QTest::addColumn<qint64>("elapsedMs");
    QTest::addColumn<int>("done");
    QTest::addColumn<int>("total");
    QTest::addColumn<std::optional<qint64>>("left");
    const std::optional<qint64> unknown;
    QTest::newRow("nothing done yet: unknown") << qint64(5000) << 0 << 24 << unknown;
    QTest::newRow("one of two done: as long again")
        << qint64(4000) << 1 << 2 << std::optional<qint64>(4);
    QTest::newRow("2 of 24 in 1 s: 11 s for the other 22")
        << qint64(1000) << 2 << 24 << std::optional<qint64>(11);
    QTest::newRow("whole seconds, rounded down")
        << qint64(2999) << 1 << 2 << std::optional<qint64>(2);
    QTest::newRow("a fast run: under a second left")
        << qint64(10) << 5 << 6 << std::optional<qint64>(0);
    QTest::newRow("a long run: hours") << qint64(60000) << 1 << 121 << std::optional<qint64>(7200);
    QTest::newRow("everything done: nothing to tell") << qint64(9000) << 3 << 3 << unknown;
    QTest::newRow("more done than listed (the list shrank)") << qint64(9000) << 4 << 3 << unknown;
    QTest::newRow("a clock that went back") << qint64(-1) << 1 << 3 << unknown;
}

void TestTimeLeft::secondsLeft() {
    QFETCH(qint64, elapsedMs);
    QFETCH(int, done);
    QFETCH(int, total);
    QFETCH(std::optional<qint64>, left);
    QCOMPARE(kavenra::SecondsLeft(elapsedMs, done, total), left);
}

void TestTimeLeft::clockDuration_data() {
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QString>("shown");
    QTest::newRow("none") << qint64(0) << "0:00";
    QTest::newRow("seconds") << qint64(7) << "0:07";
    QTest::newRow("a minute and more") << qint64(65) << "1:05";
    QTest::newRow("under an hour") << qint64(3599) << "59:59";
    QTest::newRow("an hour") << qint64(3600) << "1:00:00";
    QTest::newRow("hours, minutes and seconds") << qint64(3725) << "1:02:05";
    QTest::newRow("over a day, still in hours") << qint64(90061) << "25:01:01";
}

void TestTimeLeft::clockDuration() {
    QFETCH(qint64, seconds);
    QFETCH(QString, shown);
    QCOMPARE(kavenra::ClockDuration(seconds), shown);
}

QTEST_APPLESS_MAIN(TestTimeLeft)

#include "test_time_left.moc"
