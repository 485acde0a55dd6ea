// The reference for the player's start-up figures: the least a Qt Widgets program does to put a
// window of the player's size with some text on the screen.

#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("ZR - Mp3 Player"));
    window.setWindowTitle(QStringLiteral("minimal"));
    window.setAlignment(Qt::AlignCenter);
    window.resize(378, 460);
    window.show();
    return QApplication::exec();
}
