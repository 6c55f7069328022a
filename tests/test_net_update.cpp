// The update check against a loopback HTTP server: no request here leaves the machine.

#include <QTcpSocket>
#include <QtTest>

#include "net/Internet.h"
#include "support/LoopbackHttpServer.h"

namespace {

constexpr char kVersionPath[] = "/versiones/version_actual.txt";

std::string Text(const QByteArray& bytes) {
    return bytes.toStdString();
}

// std::string keeps embedded zero bytes, so a comparison failure shows the real difference.
QByteArray Bytes(const std::string& text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

QByteArray Filled(char byte, qsizetype count) {
    return QByteArray(count, byte);
}

LoopbackHttpServer::Answer AnswerOf(int status, const QByteArray& body) {
    LoopbackHttpServer::Answer answer;
    answer.status = status;
    answer.body = body;
    return answer;
}

LoopbackHttpServer::Answer NotFoundPage() {
    LoopbackHttpServer::Answer page = AnswerOf(
        404, "<html><head><title>404 Not Found</title></head><body>Not Found</body></html>");
    page.contentType = "text/html";
    return page;
}

}  // namespace

class UpdateCheckTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void publishedVersionDecidesTheAnswer_data();
    void publishedVersionDecidesTheAnswer();
    void readsOverwriteOneBuffer_data();
    void readsOverwriteOneBuffer();
    void requestCarriesAgentHostAndPath();
    void redirectIsFollowed();
    void unopenableUrlGivesFailureMarker_data();
    void unopenableUrlGivesFailureMarker();
    void refusedServerMeansNoUpdate();
    void slowOrBrokenAnswerEndsWithinBound_data();
    void slowOrBrokenAnswerEndsWithinBound();
    void webHostComesFromEnvironment_data();
    void webHostComesFromEnvironment();
    void webHostDefaultsToBuildSetting();
    void onlineAnswerCanBeForced_data();
    void onlineAnswerCanBeForced();
    void serverAnswersWhileTestThreadBlocks();

  private:
    LoopbackHttpServer server_;
};

void UpdateCheckTest::initTestCase() {
    QVERIFY(server_.start());
}

void UpdateCheckTest::init() {
    server_.clearRequests();
    server_.setFallback(NotFoundPage());
    qputenv("KAVENRA_WEB_HOST", server_.hostAndPort());
}

void UpdateCheckTest::cleanupTestCase() {
    qunsetenv("KAVENRA_WEB_HOST");
    qunsetenv("KAVENRA_ASSUME_ONLINE");
}

void UpdateCheckTest::publishedVersionDecidesTheAnswer_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("fetched");
    QTest::addColumn<bool>("newer");

    const QByteArray page = NotFoundPage().body;
    QTest::newRow("own version") << 200 << QByteArray("2.0") << QByteArray("2.0") << false;
    QTest::newRow("minor newer") << 200 << QByteArray("2.1") << QByteArray("2.1") << true;
    QTest::newRow("major newer") << 200 << QByteArray("10.0") << QByteArray("10.0") << true;
    QTest::newRow("older also differs") << 200 << QByteArray("1.9") << QByteArray("1.9") << true;
    QTest::newRow("own version + LF, 4 bytes")
        << 200 << QByteArray("2.0\n") << QByteArray("2.0\n") << true;
    QTest::newRow("own version + CRLF, 5 bytes")
        << 200 << QByteArray("2.0\r\n") << QByteArray("2.0\r\n") << false;
    QTest::newRow("three-part version, 6 bytes")
        << 200 << QByteArray("10.0.1") << QByteArray("10.0.1") << false;
    QTest::newRow("five-byte version")
        << 200 << QByteArray("2.0.1") << QByteArray("2.0.1") << false;
    QTest::newRow("empty file") << 200 << QByteArray() << QByteArray() << true;
    QTest::newRow("own version, zero byte, junk")
        << 200 << QByteArray("2.0\0junk", 8) << QByteArray("2.0") << false;
    QTest::newRow("zero byte first") << 200
                                     << QByteArray(
                                            "\0"
                                            "2.0",
                                            4)
                                     << QByteArray() << true;
    QTest::newRow("missing file, error page") << 404 << page << page << false;
    QTest::newRow("error status, short page")
        << 404 << QByteArray("2.1") << QByteArray("2.1") << false;
    QTest::newRow("server error, empty page") << 500 << QByteArray() << QByteArray() << false;
    QTest::newRow("long body hides a version") << 200 << Filled('x', 1024) + "2.1"
                                               << "2.1" + Filled('x', 1021) << false;
}

// Only a short text that is not exactly "2.0" counts as a newer version; the fetch shows what
// was compared.
void UpdateCheckTest::publishedVersionDecidesTheAnswer() {
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, fetched);
    QFETCH(bool, newer);
    server_.serve(kVersionPath, status, body);

    QCOMPARE(Bytes(FetchText(VersionFileUrl())), fetched);
    QCOMPARE(CheckForUpdate(), newer);
}

void UpdateCheckTest::readsOverwriteOneBuffer_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("fetched");

    QTest::newRow("one full read") << Filled('a', 1024) << Filled('a', 1024);
    QTest::newRow("one byte more") << Filled('a', 1024) + "b"
                                   << "b" + Filled('a', 1023);
    QTest::newRow("second read ends in a zero byte")
        << Filled('x', 1024) + QByteArray("2.0\0", 4) << QByteArray("2.0");
    QTest::newRow("three reads") << Filled('a', 1024) + Filled('b', 1024) + "ccccc"
                                 << "ccccc" + Filled('b', 1019);
    QTest::newRow("three full reads")
        << Filled('a', 1024) + Filled('b', 1024) + Filled('c', 1024) << Filled('c', 1024);
    QTest::newRow("zero byte of the first read shows through")
        << Filled('a', 600) + QByteArray(1, '\0') + Filled('a', 423) + Filled('b', 476)
        << Filled('b', 476) + Filled('a', 124);
}

void UpdateCheckTest::readsOverwriteOneBuffer() {
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, fetched);
    server_.serve("/long.txt", 200, body);

    QCOMPARE(Bytes(FetchText(Text(server_.url("/long.txt")))), fetched);
}

void UpdateCheckTest::requestCarriesAgentHostAndPath() {
    server_.serve(kVersionPath, 200, "2.0");
    server_.serve("/other.txt", 200, "x");

    QVERIFY(!CheckForUpdate());
    QCOMPARE(FetchText(Text(server_.url("/other.txt"))), std::string("x"));

    const QList<LoopbackHttpServer::Request> requests = server_.requests();
    QCOMPARE(requests.size(), 2);
    QCOMPARE(requests.at(0).method, QByteArray("GET"));
    QCOMPARE(requests.at(0).path, QByteArray(kVersionPath));
    QCOMPARE(requests.at(0).host, server_.hostAndPort());
    QCOMPARE(requests.at(1).path, QByteArray("/other.txt"));
    for (const LoopbackHttpServer::Request& request : requests) {
        QCOMPARE(request.userAgent, QByteArray("Mozilla/4.0 (compatible) Vozoza"));
    }
}

void UpdateCheckTest::redirectIsFollowed() {
    LoopbackHttpServer::Answer moved = AnswerOf(302, "moved");
    moved.headers.append({"Location", server_.url("/versiones/nueva.txt")});
    server_.serve(kVersionPath, moved);
    server_.serve("/versiones/nueva.txt", 200, "2.1");

    QVERIFY(CheckForUpdate());
    QCOMPARE(server_.requests().size(), 2);
}

void UpdateCheckTest::unopenableUrlGivesFailureMarker_data() {
    QTest::addColumn<QByteArray>("url");

    const QByteArray refused =
        "http://127.0.0.1:" + QByteArray::number(LoopbackHttpServer::unusedPort()) + kVersionPath;
    QTest::newRow("connection refused") << refused;
    QTest::newRow("local file") << QByteArray("file://" KAVENRA_SOURCE_DIR "/CMakeLists.txt");
    QTest::newRow("not a url") << QByteArray("no url at all");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("no host") << QByteArray("http:///versiones/version_actual.txt");
}

void UpdateCheckTest::unopenableUrlGivesFailureMarker() {
    QFETCH(QByteArray, url);
    QCOMPARE(FetchText(Text(url)), std::string("FALLO"));
}

void UpdateCheckTest::refusedServerMeansNoUpdate() {
    qputenv("KAVENRA_WEB_HOST",
            "127.0.0.1:" + QByteArray::number(LoopbackHttpServer::unusedPort()));
    QVERIFY(!CheckForUpdate());
}

void UpdateCheckTest::slowOrBrokenAnswerEndsWithinBound_data() {
    QTest::addColumn<int>("delivery");
    QTest::addColumn<QByteArray>("fetched");
    QTest::addColumn<bool>("newer");

    QTest::newRow("never answers")
        << int(LoopbackHttpServer::Delivery::NoAnswer) << QByteArray("FALLO") << false;
    QTest::newRow("body cut short, then closed")
        << int(LoopbackHttpServer::Delivery::TruncatedThenClose) << QByteArray("2.1") << true;
    QTest::newRow("body cut short, then silent")
        << int(LoopbackHttpServer::Delivery::TruncatedThenStall) << QByteArray("2.1") << true;
}

// The failed read ends the reading, and what arrived until then is compared like any text.
// A silent server costs the bounded wait: the test finishing shows that the bound holds.
void UpdateCheckTest::slowOrBrokenAnswerEndsWithinBound() {
    QFETCH(int, delivery);
    QFETCH(QByteArray, fetched);
    QFETCH(bool, newer);
    LoopbackHttpServer::Answer answer = AnswerOf(200, "2.1 and the rest that never comes");
    answer.delivery = static_cast<LoopbackHttpServer::Delivery>(delivery);
    answer.truncateAt = 3;
    server_.serve(kVersionPath, answer);

    QCOMPARE(Bytes(FetchText(VersionFileUrl())), fetched);
    QCOMPARE(CheckForUpdate(), newer);
}

void UpdateCheckTest::webHostComesFromEnvironment_data() {
    QTest::addColumn<QByteArray>("variable");
    QTest::addColumn<QByteArray>("host");

    const QByteArray built = KAVENRA_WEB_HOST;
    QTest::newRow("address and port")
        << QByteArray("127.0.0.1:8080") << QByteArray("127.0.0.1:8080");
    QTest::newRow("name") << QByteArray("updates.example.test")
                          << QByteArray("updates.example.test");
    QTest::newRow("IPv6 and port") << QByteArray("[::1]:8080") << QByteArray("[::1]:8080");
    QTest::newRow("blanks around") << QByteArray(" 127.0.0.1:9 ") << QByteArray("127.0.0.1:9");
    QTest::newRow("empty") << QByteArray() << built;
    QTest::newRow("with a path") << QByteArray("evil.example.test/x") << built;
    QTest::newRow("with a user") << QByteArray("user@evil.example.test") << built;
    QTest::newRow("port not a number") << QByteArray("127.0.0.1:http") << built;
    QTest::newRow("full url") << QByteArray("http://evil.example.test") << built;
}

// Only the URLs are built here; nothing is requested from these hosts.
void UpdateCheckTest::webHostComesFromEnvironment() {
    QFETCH(QByteArray, variable);
    QFETCH(QByteArray, host);
    qputenv("KAVENRA_WEB_HOST", variable);

    QCOMPARE(Bytes(WebHost()), host);
    QCOMPARE(Bytes(VersionFileUrl()), "http://" + host + "/versiones/version_actual.txt");
    QCOMPARE(Bytes(DownloadPageUrl()), "http://" + host + "/descargas.html");
    QCOMPARE(Bytes(DonationPageUrl()), "http://" + host + "/donaciones.html");
}

void UpdateCheckTest::webHostDefaultsToBuildSetting() {
    qunsetenv("KAVENRA_WEB_HOST");
    QCOMPARE(WebHost(), std::string(KAVENRA_WEB_HOST));
    QVERIFY(!WebHost().empty());
}

void UpdateCheckTest::onlineAnswerCanBeForced_data() {
    QTest::addColumn<QByteArray>("variable");
    QTest::addColumn<bool>("online");
    QTest::newRow("forced online") << QByteArray("1") << true;
    QTest::newRow("forced offline") << QByteArray("0") << false;
}

void UpdateCheckTest::onlineAnswerCanBeForced() {
    QFETCH(QByteArray, variable);
    QFETCH(bool, online);
    qputenv("KAVENRA_ASSUME_ONLINE", variable);
    QCOMPARE(IsOnline(), online);
    qunsetenv("KAVENRA_ASSUME_ONLINE");
}

// Start-up tests wait for child processes with blocking calls; the server must answer meanwhile.
void UpdateCheckTest::serverAnswersWhileTestThreadBlocks() {
    server_.serve("/blocking.txt", 200, "2.1");
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server_.port());
    QVERIFY(client.waitForConnected(kRequestTimeoutMs));
    client.write("GET /blocking.txt HTTP/1.1\r\nHost: x\r\nUser-Agent: blocking\r\n\r\n");
    QByteArray answer;
    while (client.waitForReadyRead(kRequestTimeoutMs)) answer += client.readAll();

    QVERIFY2(answer.startsWith("HTTP/1.1 200 OK\r\n"), answer.constData());
    QVERIFY(answer.endsWith("\r\n\r\n2.1"));
    QCOMPARE(server_.requests().size(), 1);
    QCOMPARE(server_.requests().at(0).userAgent, QByteArray("blocking"));
}

QTEST_GUILESS_MAIN(UpdateCheckTest)
#include "test_net_update.moc"
