#include "WindowRounds.h"

#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

#include "support/DatabaseFixture.h"
#include "support/ModalAnswerer.h"
#include "ui/Form6_msgbox.h"
#include "ui/Forms.h"
#include "ui/Startup.h"
#include "ui/Unit1.h"

namespace kavenra::bench {

double Milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

namespace {

// One pass over /proc: every process's parent and resident memory in bytes.
struct ProcessEntry {
    pid_t pid;
    pid_t parent;
    std::uint64_t residentBytes;
};

std::vector<ProcessEntry> Processes() {
    static const std::uint64_t pageSize = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
    std::vector<ProcessEntry> processes;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool number = false;
        const pid_t pid = static_cast<pid_t>(entry.toInt(&number));
        if (!number) continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly)) continue;
        const QByteArray text = stat.readAll();
        // After the command's closing bracket: state, parent, ... resident pages (the 22nd).
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 22) continue;
        processes.push_back(
            {pid, static_cast<pid_t>(fields[1].toInt()), fields[21].toULongLong() * pageSize});
    }
    return processes;
}

// The memory of this process's children and grandchildren together: the image workers and
// their job processes.
std::uint64_t WorkersResidentBytes() {
    const std::vector<ProcessEntry> processes = Processes();
    std::vector<pid_t> workers;
    for (const ProcessEntry& process : processes) {
        if (process.parent == getpid()) workers.push_back(process.pid);
    }
    std::uint64_t total = 0;
    for (const ProcessEntry& process : processes) {
        const bool worker = process.parent == getpid();
        const bool job = std::find(workers.begin(), workers.end(), process.parent) != workers.end();
        if (worker || job) total += process.residentBytes;
    }
    return total;
}

}  // namespace

std::uint64_t OwnResidentBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) return 0;
    return statm.readAll().split(' ').value(1).toULongLong() *
           static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

void MemoryPeak::sample() {
    while (!stop_) {
        const std::uint64_t total = workers_ ? WorkersResidentBytes() : OwnResidentBytes();
        peak_ = std::max<std::uint64_t>(peak_, total);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool ShowProgramWindows(kavenra::testing::DatabaseFolder& databases) {
    QString error;
    if (!databases.copyShippedDatabases(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    StartupChecksRun = true;
    CreateAllForms();
    Form1->show();
    return QTest::qWaitForWindowExposed(Form1);
}

// From the press of Start to the completion question, in the program's own kind of event loop
// (which waits for the next event without polling).
RoundFigures WindowRound(const QString& outFolder, bool lookAhead) {
    QDir(outFolder).removeRecursively();
    Form1->Edit3->setText(outFolder + QLatin1Char('/'));
    Form1->SetLookAhead(lookAhead);
    const int takenBefore = Form1->RunConversionsInUse().TakenFromAhead();
    const int atTickBefore = Form1->RunConversionsInUse().ConvertedAtTick();
    kavenra::testing::ModalAnswerer answers;
    answers.answerMsgBox(kavenra::testing::MsgBoxAnswer::Button3);  // the completion: "No"

    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, [&loop] { loop.exit(1); });
    limit.start(600000);
    Clock::time_point end;
    const QMetaObject::Connection done =
        QObject::connect(Form6, &QDialog::finished, &loop, [&loop, &end] {
            end = Clock::now();
            loop.exit(0);
        });
    // The event loop's pulse: a repeating timer whose largest gap is the longest time the window
    // went unserved.
    QTimer pulse;
    pulse.setInterval(2);
    Clock::time_point lastPulse;
    double longestGap = 0;
    QObject::connect(&pulse, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        longestGap = std::max(longestGap, Milliseconds(now - lastPulse));
        lastPulse = now;
    });

    MemoryPeak memory(true);
    const Clock::time_point start = Clock::now();
    lastPulse = start;
    pulse.start();
    QTimer::singleShot(0, Form1->Button3, &QPushButton::click);
    const int failed = loop.exec();
    pulse.stop();
    QObject::disconnect(done);
    if (failed || answers.msgBoxes().size() != 1) {
        std::fprintf(stderr, "the run did not complete\n");
        std::exit(1);
    }
    RoundFigures figures;
    figures.wallMs = Milliseconds(end - start);
    figures.longestGapMs = longestGap;
    figures.peakBytes = memory.stop();
    figures.taken = Form1->RunConversionsInUse().TakenFromAhead() - takenBefore;
    figures.convertedAtTick = Form1->RunConversionsInUse().ConvertedAtTick() - atTickBefore;
    return figures;
}

}  // namespace kavenra::bench
