#include "app/OrvantaApp.h"
#include "model/PersistenceController.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setOrganizationName("Orvanta");
    QApplication::setApplicationName("Orvanta");
    QApplication::setApplicationDisplayName("Orvanta");

    OrvantaApp app(PersistenceController::shared());
    app.showMainWindow();
    return QApplication::exec();
}
