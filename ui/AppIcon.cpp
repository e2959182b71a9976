#include "ui/AppIcon.h"

QIcon AppIcon() {
    // The resources live in a static library, whose initialiser the linker would drop.
    static const bool registered = [] {
        Q_INIT_RESOURCE(vyr);
        return true;
    }();
    (void)registered;
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/vyr-admin-32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/icons/vyr-admin-256.png"), QSize(256, 256));
    return icon;
}
