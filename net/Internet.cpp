#include "net/Internet.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkInterface>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#ifndef KAVENRA_WEB_HOST
#error "KAVENRA_WEB_HOST must name the host of the update server and web site"
#endif

namespace {

constexpr char kUserAgent[] = "Mozilla/4.0 (compatible) Vozoza";
constexpr char kFetchFailure[] = "FALLO";
constexpr char kVersionFilePath[] = "/versiones/version_actual.txt";
constexpr char kDownloadPagePath[] = "/descargas.html";
constexpr char kDonationPagePath[] = "/donaciones.html";
constexpr qsizetype kReadSize = 1024;
constexpr std::size_t kLongVersionText = 5;

// A value from the environment is taken only when it names a host and nothing else, so that a
// stray path or user name cannot redirect the update check somewhere unexpected.
bool IsPlainHost(const QByteArray& host) {
    const QUrl url(QStringLiteral("http://%1/").arg(QString::fromUtf8(host)), QUrl::StrictMode);
    return url.isValid() && !url.host().isEmpty() && url.userInfo().isEmpty() &&
           url.path() == QLatin1String("/") && !url.hasQuery() && !url.hasFragment();
}

std::string UrlOnWebHost(const char* path) {
    return "http://" + WebHost() + path;
}

bool IsLoopbackHost(const QString& host) {
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) return true;
    QHostAddress address;
    return address.setAddress(host) && address.isLoopback();
}

// The system's proxy settings apply as for any request of the desktop, except to the machine
// itself: a proxy cannot reach this machine's loopback server.
class SystemProxyExceptLoopback : public QNetworkProxyFactory {
  public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override {
        if (IsLoopbackHost(query.peerHostName())) return {QNetworkProxy(QNetworkProxy::NoProxy)};
        return systemProxyForQuery(query);
    }
};

// One session for the whole process, opened at the first request and owned by the application
// object. Null when there is no application object or the caller is not on its thread.
QNetworkAccessManager* Session() {
    static QPointer<QNetworkAccessManager> session;
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr || QThread::currentThread() != application->thread()) {
        return nullptr;
    }
    if (session.isNull()) {
        session = new QNetworkAccessManager(application);
        session->setProxyFactory(new SystemProxyExceptLoopback);
    }
    return session.data();
}

struct Response {
    bool opened = false;  // an HTTP answer arrived, whatever its status
    int status = 0;
    QByteArray body;  // as much of the body as arrived in time
};

Response Get(QNetworkAccessManager& session, const QUrl& url) {
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(kUserAgent));
    const std::unique_ptr<QNetworkReply> reply(session.get(request));

    Response response;
    QObject::connect(reply.get(), &QNetworkReply::readyRead, reply.get(),
                     [&response, &reply] { response.body += reply->readAll(); });

    // The start-up waits for the answer, but only for a bounded time, and the user's clicks
    // and keys are not delivered to the windows in between.
    QEventLoop loop;
    QTimer bound;
    bound.setSingleShot(true);
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&bound, &QTimer::timeout, reply.get(), &QNetworkReply::abort);
    bound.start(kRequestTimeoutMs);
    if (!reply->isFinished()) loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (reply->isOpen()) response.body += reply->readAll();  // closed after a time-out

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    response.opened = status.isValid();
    response.status = status.toInt();
    return response;
}

Response Open(const std::string& url) {
    const QUrl address(QString::fromStdString(url), QUrl::StrictMode);
    const QString scheme = address.scheme().toLower();
    if (!address.isValid() || address.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        return {};
    }
    QNetworkAccessManager* session = Session();
    if (session == nullptr) return {};
    return Get(*session, address);
}

// Each read lands at the start of one buffer that is zeroed only once, and the text ends at the
// first zero byte. The version file is a few bytes long, so only its single read matters; with a
// longer body the last read lies over the rest of the earlier ones and the text stays long, which
// is what keeps an error page from ever passing for a version.
std::string TextOfReads(const QByteArray& body) {
    std::array<char, kReadSize + 1> buffer{};
    for (qsizetype offset = 0; offset < body.size(); offset += kReadSize) {
        const qsizetype count = std::min(kReadSize, body.size() - offset);
        std::memcpy(buffer.data(), body.constData() + offset, static_cast<std::size_t>(count));
    }
    return std::string(buffer.data());
}

std::string TextOf(const Response& response) {
    return response.opened ? TextOfReads(response.body) : std::string(kFetchFailure);
}

bool IsHttpError(const Response& response) {
    return response.status >= 400;
}

// The failure marker and anything as long as it (error pages, other files) never count as a
// version; a shorter text counts as newer whenever it is not exactly our own.
bool PublishedVersionDiffers(const std::string& published) {
    if (published.size() >= kLongVersionText) return false;
    return published != kProgramVersion;
}

}  // namespace

std::string WebHost() {
    const QByteArray fromEnvironment = qgetenv("KAVENRA_WEB_HOST").trimmed();
    if (!fromEnvironment.isEmpty() && IsPlainHost(fromEnvironment)) {
        return fromEnvironment.toStdString();
    }
    return KAVENRA_WEB_HOST;
}

std::string VersionFileUrl() {
    return UrlOnWebHost(kVersionFilePath);
}

std::string DownloadPageUrl() {
    return UrlOnWebHost(kDownloadPagePath);
}

std::string DonationPageUrl() {
    return UrlOnWebHost(kDonationPagePath);
}

bool IsOnline() {
    const QByteArray assumed = qgetenv("KAVENRA_ASSUME_ONLINE").trimmed();
    if (assumed == "1") return true;
    if (assumed == "0") return false;

    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    return std::any_of(interfaces.cbegin(), interfaces.cend(), [](const QNetworkInterface& nic) {
        const auto flags = nic.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) ||
            !flags.testFlag(QNetworkInterface::IsRunning) ||
            flags.testFlag(QNetworkInterface::IsLoopBack)) {
            return false;
        }
        const QList<QNetworkAddressEntry> entries = nic.addressEntries();
        return std::any_of(entries.cbegin(), entries.cend(), [](const QNetworkAddressEntry& e) {
            return !e.ip().isNull() && !e.ip().isLinkLocal();
        });
    });
}

bool CheckForUpdate() {
    const Response response = Open(VersionFileUrl());
    // An error status says nothing about the published version, however short its page is.
    if (IsHttpError(response)) return false;
    return PublishedVersionDiffers(TextOf(response));
}

std::string FetchText(const std::string& url) {
    return TextOf(Open(url));
}
