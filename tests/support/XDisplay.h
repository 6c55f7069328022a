#pragma once

// A real X display for end-to-end tests: an Xvfb server of the test's own, and a connection that
// asks that server about its windows, types keys as a user would (through the XTEST extension)
// and takes a picture of the screen.
//
//   if (!XvfbServer::Available()) QSKIP("no Xvfb");
//   XvfbServer server;
//   QVERIFY2(server.start(QSize(1280, 1024), &error), qPrintable(error));
//   XConnection x(server.display());
//   ... start the program with DISPLAY=server.display() and QT_QPA_PLATFORM=xcb ...
//   const QList<XWindowInfo> windows = x.topLevelWindows();

#include <QImage>
#include <QList>
#include <QProcess>
#include <QRect>
#include <QSize>
#include <QString>

struct xcb_connection_t;

namespace kavenra::testing {

// An Xvfb server on a display number that the server picks itself (so parallel tests never
// collide); ended with the object.
class XvfbServer {
  public:
    XvfbServer() = default;
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // Whether an Xvfb program is on the search path.
    static bool Available();

    // Starts the server with one screen of `size` at 24 bits, black where no window is, and waits
    // until it accepts clients.
    // False, with the reason in `error`, when it does not start.
    bool start(const QSize& size, QString* error);

    // ":N", once started.
    QString display() const { return display_; }

  private:
    QProcess process_;
    QString display_;
};

// A top-level window as the X server sees it.
struct XWindowInfo {
    quint32 id = 0;
    QString title;           // _NET_WM_NAME, else WM_NAME
    QString instance;        // the first part of WM_CLASS
    bool transient = false;  // has WM_TRANSIENT_FOR: a dialog of another window
    bool viewable = false;   // mapped, and so are its ancestors
    QRect geometry;          // the inside of the window in screen coordinates, border excluded
};

class XConnection {
  public:
    explicit XConnection(const QString& display);
    ~XConnection();
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;

    bool isValid() const;
    QSize screenSize() const;

    // The root window's children, bottom of the stack first. Without a window manager these are
    // the programs' own windows.
    QList<XWindowInfo> topLevelWindows() const;

    // Gives `window` the keyboard focus, then presses and releases each key in turn (keysyms, as
    // 0xff0d for Return) through the XTEST extension, as a keyboard would. False when a key has no
    // key code in the server's map or the extension is missing.
    bool typeKeys(quint32 window, const QList<quint32>& keysyms);

    // The whole screen; a null image when the server's pixel format is not 32-bit true colour.
    QImage grabScreen() const;

  private:
    xcb_connection_t* connection_ = nullptr;
    quint32 root_ = 0;
    QSize screenSize_;
    int rootDepth_ = 0;
};

}  // namespace kavenra::testing
