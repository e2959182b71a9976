#include "tests/support/qt/Offscreen.h"

#include <QByteArray>
#include <QtGlobal>

void UseOffscreenUnlessSet() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
}
