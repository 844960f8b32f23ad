// The reference for the start-up benchmark: the least a Qt Widgets program does
// to show a window of the same size as the main window.
#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(560, 600);
    window.setWindowTitle(QStringLiteral("Reference"));
    window.show();
    return QApplication::exec();
}
