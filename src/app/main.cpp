#include "app/OrvantaApp.h"
#include "app/SingleInstance.h"
#include "model/PersistenceController.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setOrganizationName("Orvanta");
    QApplication::setApplicationName("Orvanta");
    QApplication::setApplicationDisplayName("Orvanta");

    // A second start hands over to the running copy before it opens the store.
    SingleInstance instance;
    if (!instance.claim())
        return 0;

    OrvantaApp app(PersistenceController::shared());
    QObject::connect(&instance, &SingleInstance::activationRequested, &app, &OrvantaApp::bringToFront);
    app.showMainWindow();
    return QApplication::exec();
}
