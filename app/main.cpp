#include "app/CameraDemoApp.h"

int main(int argc, char** argv) {
    // Keep child widgets non-native so that one filter on the console's window sees every pointer move.
    QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
    CCameraDemoApp app(argc, argv);
    app.InitInstance(); // ends the process once the console has closed
}
