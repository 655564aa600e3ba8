#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Orvanta");
    QApplication::setApplicationName("Orvanta");
    QMainWindow window;
    window.setWindowTitle("Orvanta");
    window.resize(900, 600);
    window.show();
    return QApplication::exec();
}
