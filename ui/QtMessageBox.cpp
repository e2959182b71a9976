#include "ui/QtMessageBox.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>

MessageBoxHook QtMessageBox(QWidget* owner) {
    return [owner = QPointer<QWidget>(owner)](const std::string& text) {
        const QString caption =
            QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
        QMessageBox box(QMessageBox::Warning, caption, QString::fromStdString(text),
                        QMessageBox::Ok, owner);
        box.setTextFormat(Qt::PlainText);
        box.exec();
    };
}
