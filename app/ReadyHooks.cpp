#include "app/ReadyHooks.h"

#include "ui/Form3_opcionesdeformato.h"
#include "ui/Form5_seleccioncarpeta.h"
#include "ui/Form7_acercade.h"
#include "ui/ListEntries.h"
#include "ui/Startup.h"
#include "ui/Unit1.h"

#include <QAction>
#include <QCoreApplication>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QSaveFile>
#include <QSocketNotifier>
#include <QStatusBar>
#include <QTimer>

#include <sys/socket.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>

namespace kavenra::app {
namespace {

// The signal handler may only write to a descriptor; the message loop reads the other end.
int terminationPipe[2] = {-1, -1};

void onTerminationSignal(int) {
    const char byte = 1;
    const ssize_t written = ::write(terminationPipe[1], &byte, 1);
    (void)written;
}

void closeMainWindowOnTermination() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, terminationPipe) != 0) return;
    auto* notifier = new QSocketNotifier(terminationPipe[0], QSocketNotifier::Read,
                                         QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char byte = 0;
        const ssize_t read = ::read(terminationPipe[0], &byte, 1);
        (void)read;
        if (Form1) Form1->close();
    });
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
}

QJsonArray menuTexts() {
    QJsonArray menus;
    for (QAction* menu : Form1->menuBar()->actions()) {
        QJsonArray items;
        if (menu->menu()) {
            for (QAction* item : menu->menu()->actions()) items.append(item->text());
        }
        menus.append(
            QJsonObject{{QStringLiteral("text"), menu->text()}, {QStringLiteral("items"), items}});
    }
    return menus;
}

QJsonObject rectangle(const QRect& rect) {
    return QJsonObject{{QStringLiteral("x"), rect.x()},
                       {QStringLiteral("y"), rect.y()},
                       {QStringLiteral("width"), rect.width()},
                       {QStringLiteral("height"), rect.height()}};
}

// Where a control lies inside the main window, menu bar included.
QJsonObject placeInWindow(const QWidget* control) {
    return rectangle(QRect(control->mapTo(Form1, QPoint(0, 0)), control->size()));
}

// The window's layout as the program has it; what the window system made of it is for the
// checker to ask the window system.
QJsonObject mainWindowGeometry() {
    const QSize fixed =
        Form1->minimumSize() == Form1->maximumSize() ? Form1->minimumSize() : QSize();
    return QJsonObject{
        {QStringLiteral("window"), rectangle(Form1->geometry())},
        {QStringLiteral("fixedSize"), QJsonObject{{QStringLiteral("width"), fixed.width()},
                                                  {QStringLiteral("height"), fixed.height()}}},
        {QStringLiteral("ClientArea"), placeInWindow(Form1->ClientArea)},
        {QStringLiteral("StatusBar"), placeInWindow(Form1->StatusBar)},
        {QStringLiteral("ListBox1"), placeInWindow(Form1->ListBox1)},
        {QStringLiteral("Button2"), placeInWindow(Form1->Button2)},
        {QStringLiteral("Button3"), placeInWindow(Form1->Button3)},
        {QStringLiteral("Button4"), placeInWindow(Form1->Button4)},
    };
}

QJsonObject mainWindowState() {
    QJsonArray list;
    QJsonArray listPaths;  // each entry's exact bytes, which its text may not tell, in base64
    for (int i = 0; i < Form1->ListBox1->count(); ++i) {
        list.append(Form1->ListBox1->item(i)->text());
        listPaths.append(QString::fromLatin1(EntryPath(*Form1->ListBox1->item(i)).toBase64()));
    }
    const QJsonObject texts{
        {QStringLiteral("GroupBox1"), Form1->GroupBox1->title()},
        {QStringLiteral("Label3"), Form1->Label3->text()},
        {QStringLiteral("Label9"), Form1->Label9->text()},
        {QStringLiteral("Button3"), Form1->Button3->text()},
        {QStringLiteral("ListBox1Hint"), Form1->ListBox1->toolTip()},
        {QStringLiteral("Form3Caption"), Form3->windowTitle()},
        {QStringLiteral("Form5Caption"), Form5->windowTitle()},
        {QStringLiteral("Form7Caption"), Form7->windowTitle()},
    };
    return QJsonObject{
        {QStringLiteral("title"), Form1->windowTitle()},
        {QStringLiteral("visible"), Form1->isVisible()},
        {QStringLiteral("startupChecksRun"), StartupChecksRun},
        {QStringLiteral("list"), list},
        {QStringLiteral("listPaths"), listPaths},
        {QStringLiteral("status"), Form1->StatusBar->currentMessage()},
        {QStringLiteral("statusDetails"), Form1->StatusBar->toolTip()},
        {QStringLiteral("count"), Form1->Label10->text()},
        {QStringLiteral("destination"), Form1->Edit3->text()},
        {QStringLiteral("menus"), menuTexts()},
        {QStringLiteral("texts"), texts},
        {QStringLiteral("geometry"), mainWindowGeometry()},
    };
}

// The window is ready once the check of the list the command line gave it has ended, and its
// status text says what was left out.
void writeStateReportIfRequested() {
    const QString file = qEnvironmentVariable("KAVENRA_DUMP_STATE");
    if (file.isEmpty() || !Form1) return;
    if (Form1->Timer2->isActive()) {
        QTimer::singleShot(10, Form1, writeStateReportIfRequested);
        return;
    }
    QSaveFile report(file);
    if (!report.open(QIODevice::WriteOnly) ||
        report.write(QJsonDocument(mainWindowState()).toJson()) < 0 || !report.commit()) {
        std::fprintf(stderr, "Cannot write the state report %s\n", qPrintable(file));
    }
}

}  // namespace

void MainWindowReady() {
    closeMainWindowOnTermination();
    writeStateReportIfRequested();
}

}  // namespace kavenra::app
