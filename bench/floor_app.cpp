// The floor of the start-up and memory benchmarks: the smallest Qt Widgets program, one
// window with one label.
#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("Floor"));
    window.setObjectName(QStringLiteral("floor"));
    window.resize(700, 540);
    window.show();
    return app.exec();
}
