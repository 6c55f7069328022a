#pragma once

// A small HTTP/1.1 server on 127.0.0.1 with an ephemeral port, for tests that must not leave the
// machine. It serves configured paths with configured answers and records every request.
//
// It runs on a thread of its own, so it keeps answering while the test's thread is blocked, for
// example in QProcess::waitForFinished() while a child process makes its requests. All member
// functions may be called from the test's thread at any time.
//
//   LoopbackHttpServer server;
//   QVERIFY(server.start());
//   server.serve("/versiones/version_actual.txt", 200, "2.1");
//   qputenv("KAVENRA_WEB_HOST", server.hostAndPort());
//   ... server.requests() ...

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QThread>
#include <memory>

class LoopbackHttpServer {
  public:
    // How an answer is delivered.
    enum class Delivery {
        Complete,            // status line, headers, the whole body, then the connection closes
        NoAnswer,            // the request is read and never answered; the connection stays open
        TruncatedThenClose,  // headers announce the whole body, only truncateAt bytes follow
        TruncatedThenStall,  // as above, but the connection then stays open and silent
    };

    struct Answer {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "text/plain";
        QList<QPair<QByteArray, QByteArray>> headers;  // further headers, e.g. Location
        Delivery delivery = Delivery::Complete;
        int truncateAt = 0;
    };

    struct Request {
        QByteArray method;
        QByteArray path;  // the request target as sent, query included
        QByteArray userAgent;
        QByteArray host;
        QList<QPair<QByteArray, QByteArray>> headers;
    };

    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    // Starts listening on 127.0.0.1 with a port chosen by the system; false when that fails.
    bool start();
    quint16 port() const { return port_; }
    // "127.0.0.1:<port>", the value for KAVENRA_WEB_HOST.
    QByteArray hostAndPort() const;
    // "http://127.0.0.1:<port>" followed by path.
    QByteArray url(const QByteArray& path) const;

    // The answer for one path (matched exactly against the request target).
    void serve(const QByteArray& path, const Answer& answer);
    void serve(const QByteArray& path, int status, const QByteArray& body);
    // Paths without an answer of their own get a 404 with a short HTML page, like a web server.
    void setFallback(const Answer& answer);

    // Every request read so far, oldest first.
    QList<Request> requests() const;
    void clearRequests();

    // A loopback port on which nothing listens (bound once, then released).
    static quint16 unusedPort();

    struct Shared {
        mutable QMutex mutex;
        QHash<QByteArray, Answer> answers;
        Answer fallback;
        QList<Request> requests;
    };

  private:
    std::shared_ptr<Shared> shared_;
    QThread thread_;
    QObject* context_ = nullptr;  // lives on thread_, owns the listening socket
    quint16 port_ = 0;
};
