#include "LoopbackHttpServer.h"

#include <QHostAddress>
#include <QMetaObject>
#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>

namespace {

using Shared = LoopbackHttpServer::Shared;
using Answer = LoopbackHttpServer::Answer;
using Request = LoopbackHttpServer::Request;
using Delivery = LoopbackHttpServer::Delivery;

Answer NotFoundPage() {
    Answer answer;
    answer.status = 404;
    answer.contentType = "text/html";
    answer.body =
        "<html><head><title>404 Not Found</title></head>"
        "<body><h1>Not Found</h1><p>The requested URL was not found on this server.</p></body>"
        "</html>";
    return answer;
}

QByteArray ReasonPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 301:
            return "Moved Permanently";
        case 302:
            return "Found";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 500:
            return "Internal Server Error";
        case 503:
            return "Service Unavailable";
        default:
            return "Status";
    }
}

Request ParseRequestHead(const QByteArray& head) {
    Request request;
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    request.path = requestLine.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0) continue;
        const QByteArray name = line.left(colon).trimmed();
        const QByteArray value = line.mid(colon + 1).trimmed();
        request.headers.append({name, value});
        if (name.compare("User-Agent", Qt::CaseInsensitive) == 0) request.userAgent = value;
        if (name.compare("Host", Qt::CaseInsensitive) == 0) request.host = value;
    }
    return request;
}

Answer RecordAndChooseAnswer(Shared& shared, const Request& request) {
    QMutexLocker lock(&shared.mutex);
    shared.requests.append(request);
    return shared.answers.value(request.path, shared.fallback);
}

QByteArray ResponseHead(const Answer& answer) {
    QByteArray head = "HTTP/1.1 " + QByteArray::number(answer.status) + ' ' +
                      ReasonPhrase(answer.status) + "\r\n";
    head += "Content-Type: " + answer.contentType + "\r\n";
    head += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
    for (const auto& [name, value] : answer.headers) head += name + ": " + value + "\r\n";
    head += "Connection: close\r\n\r\n";
    return head;
}

void Deliver(QTcpSocket& socket, const Answer& answer) {
    switch (answer.delivery) {
        case Delivery::NoAnswer:
            return;
        case Delivery::Complete:
            socket.write(ResponseHead(answer) + answer.body);
            socket.disconnectFromHost();
            return;
        case Delivery::TruncatedThenClose:
            socket.write(ResponseHead(answer) + answer.body.left(answer.truncateAt));
            socket.disconnectFromHost();
            return;
        case Delivery::TruncatedThenStall:
            socket.write(ResponseHead(answer) + answer.body.left(answer.truncateAt));
            socket.flush();
            return;
    }
}

// One request per connection: read its head, record it, answer, and ignore anything after.
void Serve(QTcpSocket* socket, const std::shared_ptr<Shared>& shared) {
    auto received = std::make_shared<QByteArray>();
    auto answered = std::make_shared<bool>(false);
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, shared, received, answered] {
        const QByteArray data = socket->readAll();
        if (*answered) return;
        *received += data;
        const qsizetype end = received->indexOf("\r\n\r\n");
        if (end < 0) return;
        *answered = true;
        Deliver(*socket, RecordAndChooseAnswer(*shared, ParseRequestHead(received->left(end))));
    });
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer() : shared_(std::make_shared<Shared>()) {
    shared_->fallback = NotFoundPage();
    context_ = new QObject;
    context_->moveToThread(&thread_);
    QObject::connect(&thread_, &QThread::finished, context_, &QObject::deleteLater);
    thread_.setObjectName(QStringLiteral("LoopbackHttpServer"));
    thread_.start();
}

LoopbackHttpServer::~LoopbackHttpServer() {
    thread_.quit();
    thread_.wait();
}

bool LoopbackHttpServer::start() {
    std::shared_ptr<Shared> shared = shared_;
    QObject* context = context_;
    quint16 port = 0;
    QMetaObject::invokeMethod(
        context_,
        [context, shared, &port] {
            auto* listener = new QTcpServer(context);
            if (!listener->listen(QHostAddress::LocalHost, 0)) return;
            QObject::connect(listener, &QTcpServer::newConnection, listener, [listener, shared] {
                while (QTcpSocket* socket = listener->nextPendingConnection()) {
                    Serve(socket, shared);
                }
            });
            port = listener->serverPort();
        },
        Qt::BlockingQueuedConnection);
    port_ = port;
    return port_ != 0;
}

QByteArray LoopbackHttpServer::hostAndPort() const {
    return "127.0.0.1:" + QByteArray::number(port_);
}

QByteArray LoopbackHttpServer::url(const QByteArray& path) const {
    return "http://" + hostAndPort() + path;
}

void LoopbackHttpServer::serve(const QByteArray& path, const Answer& answer) {
    QMutexLocker lock(&shared_->mutex);
    shared_->answers.insert(path, answer);
}

void LoopbackHttpServer::serve(const QByteArray& path, int status, const QByteArray& body) {
    Answer answer;
    answer.status = status;
    answer.body = body;
    serve(path, answer);
}

void LoopbackHttpServer::setFallback(const Answer& answer) {
    QMutexLocker lock(&shared_->mutex);
    shared_->fallback = answer;
}

QList<LoopbackHttpServer::Request> LoopbackHttpServer::requests() const {
    QMutexLocker lock(&shared_->mutex);
    return shared_->requests;
}

void LoopbackHttpServer::clearRequests() {
    QMutexLocker lock(&shared_->mutex);
    shared_->requests.clear();
}

quint16 LoopbackHttpServer::unusedPort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}
