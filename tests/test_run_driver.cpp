// The run driver that the window and the command line share, without either: what it makes of a
// failure under each go-on policy and answer, what the summary names, how far it prepares ahead,
// and the order in which a lane serves the files queued on it.

#include "engine/isolation/BackgroundConversion.h"
#include "engine/run/RunDriver.h"
#include "support/ImageFactory.h"
#include "support/ImageFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

using namespace kavenra;

Q_DECLARE_METATYPE(kavenra::GoOnPolicy)

namespace {

// A good picture, a file that is no picture, and another good picture, in that order.
struct ThreeEntries {
    QTemporaryDir folder;
    QByteArrayList entries;

    bool make() {
        const QString first = folder.filePath(QStringLiteral("a.jpg"));
        const QString broken = folder.filePath(QStringLiteral("b.jpg"));
        const QString last = folder.filePath(QStringLiteral("c.jpg"));
        QFile text(broken);
        if (!text.open(QIODevice::WriteOnly) || text.write("no picture here\n") <= 0) return false;
        text.close();
        if (!test::WriteImageFile(test::NativePath(first), FIF_JPEG, 64, 48) ||
            !test::WriteImageFile(test::NativePath(last), FIF_JPEG, 64, 48, 2)) {
            return false;
        }
        entries = {QFile::encodeName(first), QFile::encodeName(broken), QFile::encodeName(last)};
        return true;
    }

    RunControls controls() const {
        RunControls controls;
        controls.entries = entries;
        controls.longestSide = true;
        controls.longest = 32;
        controls.destinationFolder = QFile::encodeName(folder.filePath(QStringLiteral("RES/")));
        return controls;
    }
};

// Drives a run as its callers do, from its start unless it has `begun`: tick, wait for the
// outcome, answer the questions with `answers` in turn; the events seen, each a letter
// (C converting, W written, F failed and done, Q question, E end).
struct DrivenRun {
    QString events;
    RunDriver::Report end;
};

DrivenRun Drive(RunDriver& driver, const RunControls& controls, GoOnPolicy policy,
                QList<bool> answers, bool begun = false) {
    DrivenRun run;
    if (!begun) driver.Start(controls, policy);
    for (int step = 0; step < 100; ++step) {
        RunDriver::Report report;
        report.event = RunDriver::Event::Converting;
        if (!driver.FileInHand()) report = driver.Tick(controls);
        if (report.event == RunDriver::Event::Converting) {
            run.events += QLatin1Char('C');
            // A failure met ahead converts again at the entry's own tick: no outcome yet.
            do {
                if (!QTest::qWaitFor([&] { return driver.Conversions().FileInHandFinished(); },
                                     120000)) {
                    return run;
                }
                report = driver.TakeOutcome(controls.entries);
            } while (report.event == RunDriver::Event::Idle && driver.FileInHand());
        }
        switch (report.event) {
            case RunDriver::Event::Idle:
            case RunDriver::Event::Converting:
                break;
            case RunDriver::Event::FileDone:
                run.events += report.outcome.committed ? QLatin1Char('W') : QLatin1Char('F');
                if (report.runEnds) {
                    run.events += QLatin1Char('E');
                    run.end = report;
                    return run;
                }
                break;
            case RunDriver::Event::Question: {
                run.events += QLatin1Char('Q');
                const bool goOn = answers.isEmpty() ? true : answers.takeFirst();
                const RunDriver::Report answered = driver.Answer(goOn, controls.entries.size());
                if (answered.event == RunDriver::Event::Finished) {
                    run.events += QLatin1Char('E');
                    run.end = answered;
                    return run;
                }
                break;
            }
            case RunDriver::Event::Finished:
                run.events += QLatin1Char('E');
                run.end = report;
                return run;
        }
    }
    return run;
}

}  // namespace

class TestRunDriver : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { test::InitialiseFreeImageOnce(); }
    void afterAFailure_data();
    void afterAFailure();
    void summaryNamesTheFirstFew_data();
    void summaryNamesTheFirstFew();
    void preparesSeveralFilesAhead();
    void laneServesInTheOrderStarted_data();
    void laneServesInTheOrderStarted();
};

// The same three entries, the second of which fails in the worker, under each policy and answer:
// what the caller is told, what is written, and what a stopped run counts as not reached.
void TestRunDriver::afterAFailure_data() {
    QTest::addColumn<GoOnPolicy>("policy");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<QString>("events");
    QTest::addColumn<int>("written");
    QTest::addColumn<int>("notReached");
    QTest::addColumn<bool>("lastWritten");

    QTest::newRow("asked, go on") << GoOnPolicy::Ask << QList<bool>{true}
                                  << QStringLiteral("CWCQCWE") << 2 << 0 << true;
    QTest::newRow("asked, stop") << GoOnPolicy::Ask << QList<bool>{false} << QStringLiteral("CWCQE")
                                 << 1 << 1 << false;
    QTest::newRow("goes on unasked")
        << GoOnPolicy::GoOn << QList<bool>{} << QStringLiteral("CWCFCWE") << 2 << 0 << true;
    QTest::newRow("stops unasked")
        << GoOnPolicy::Stop << QList<bool>{} << QStringLiteral("CWCFE") << 1 << 1 << false;
}

void TestRunDriver::afterAFailure() {
    QFETCH(GoOnPolicy, policy);
    QFETCH(QList<bool>, answers);
    QFETCH(QString, events);
    QFETCH(int, written);
    QFETCH(int, notReached);
    QFETCH(bool, lastWritten);

    ThreeEntries files;
    QVERIFY(files.make());
    QVERIFY(QDir().mkpath(files.folder.filePath(QStringLiteral("RES"))));
    RunDriver driver(nullptr);
    const DrivenRun run = Drive(driver, files.controls(), policy, answers);

    QCOMPARE(run.events, events);
    QCOMPARE(run.end.summary.written(), written);
    QCOMPARE(run.end.notReached, notReached);
    QCOMPARE(run.end.summary.failures.size(), std::size_t{1});
    QCOMPARE(run.end.summary.failures.front().entry, files.entries[1]);
    QVERIFY(QFile::exists(files.folder.filePath(QStringLiteral("RES/a.jpg"))));
    QCOMPARE(QFile::exists(files.folder.filePath(QStringLiteral("RES/c.jpg"))), lastWritten);
    // Nothing prepared ahead outlives a stopped run, under any name.
    const QStringList left =
        QDir(files.folder.filePath(QStringLiteral("RES"))).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(left.size(), written);
    QVERIFY(!driver.Going());
    QVERIFY(!driver.FileInHand());
}

void TestRunDriver::summaryNamesTheFirstFew_data() {
    QTest::addColumn<int>("names");
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("more");

    QTest::newRow("none") << 0 << 0 << 0;
    QTest::newRow("one") << 1 << 1 << 0;
    QTest::newRow("exactly as many as shown") << kNamesShown << kNamesShown << 0;
    QTest::newRow("one more than shown") << kNamesShown + 1 << kNamesShown << 1;
    QTest::newRow("many") << 40 << kNamesShown << 40 - kNamesShown;
}

void TestRunDriver::summaryNamesTheFirstFew() {
    QFETCH(int, names);
    QFETCH(int, shown);
    QFETCH(int, more);

    QStringList all;
    for (int i = 0; i < names; ++i) all << QStringLiteral("file%1.jpg").arg(i);
    const ShownNames result = NamesToShow(all);
    QCOMPARE(result.names, all.mid(0, shown));
    QCOMPARE(result.more, more);
    QCOMPARE(result.names.size() + result.more, names);
}

// Small files convert faster than one result is handed over: the run keeps more than the next
// file under way, and takes every one of them at its tick.
void TestRunDriver::preparesSeveralFilesAhead() {
    QTemporaryDir folder;
    RunControls controls;
    for (int i = 0; i < 6; ++i) {
        const QString path = folder.filePath(QStringLiteral("p%1.jpg").arg(i));
        QVERIFY(test::WriteImageFile(test::NativePath(path), FIF_JPEG, 40, 30, i + 1));
        controls.entries << QFile::encodeName(path);
    }
    controls.longestSide = true;
    controls.longest = 20;
    controls.destinationFolder = QFile::encodeName(folder.filePath(QStringLiteral("RES/")));
    QVERIFY(QDir().mkpath(folder.filePath(QStringLiteral("RES"))));

    RunDriver driver(nullptr);
    driver.Start(controls, GoOnPolicy::Ask);
    QCOMPARE(driver.Tick(controls).event, RunDriver::Event::Converting);
    // More than the next file: one lane would otherwise wait for each result to be handed over.
    QVERIFY(driver.Conversions().FilesAhead() >= 2);
    QVERIFY(driver.Conversions().FilesAhead() <= ResizeRun::kFilesPreparedAhead);
    const DrivenRun rest = Drive(driver, controls, GoOnPolicy::Ask, {}, true);
    QCOMPARE(rest.end.summary.written(), 6);
    QCOMPARE(driver.Conversions().TakenFromAhead(), 5);
}

// Conversions queued on one lane get their turns in the order they joined, whichever thread
// asks first; one that leaves before its turn (abandoned) holds up nobody behind it.
void TestRunDriver::laneServesInTheOrderStarted_data() {
    QTest::addColumn<int>("places");
    QTest::addColumn<QList<int>>("leavingEarly");

    QTest::newRow("all served") << 4 << QList<int>{};
    QTest::newRow("one in the middle abandoned") << 4 << QList<int>{1};
    QTest::newRow("two in a row abandoned") << 5 << QList<int>{1, 2};
    QTest::newRow("the last abandoned") << 3 << QList<int>{2};
}

void TestRunDriver::laneServesInTheOrderStarted() {
    QFETCH(int, places);
    QFETCH(QList<int>, leavingEarly);

    LaneOrder order;
    std::vector<std::uint64_t> joined;
    for (int i = 0; i < places; ++i) joined.push_back(order.Join());
    for (int place : leavingEarly) order.Leave(joined[static_cast<std::size_t>(place)]);

    std::mutex mutex;
    QList<int> served;
    const std::atomic<bool> never{false};
    std::vector<std::thread> threads;
    // Started last place first, so that the order of the turns is the lane's own doing.
    for (int i = places - 1; i >= 0; --i) {
        if (leavingEarly.contains(i)) continue;
        threads.emplace_back([&, i] {
            if (!order.AwaitTurn(joined[static_cast<std::size_t>(i)], never)) return;
            {
                const std::lock_guard<std::mutex> lock(mutex);
                served << i;
            }
            order.Leave(joined[static_cast<std::size_t>(i)]);
        });
    }
    for (std::thread& thread : threads) thread.join();

    QList<int> expected;
    for (int i = 0; i < places; ++i) {
        if (!leavingEarly.contains(i)) expected << i;
    }
    QCOMPARE(served, expected);
}

QTEST_GUILESS_MAIN(TestRunDriver)
#include "test_run_driver.moc"
