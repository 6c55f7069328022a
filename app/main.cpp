#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Kavenra");
    QLabel window("Kavenra is under construction.");
    window.setWindowTitle("Kavenra");
    window.resize(320, 120);
    window.show();
    return QApplication::exec();
}
