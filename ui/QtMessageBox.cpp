#include "ui/QtMessageBox.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>

namespace {

QString Caption() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

} // namespace

MessageBoxHook QtMessageBox(QWidget* owner) {
    return [owner = QPointer<QWidget>(owner)](const std::string& text) {
        QMessageBox box(QMessageBox::Warning, Caption(), QString::fromStdString(text),
                        QMessageBox::Ok, owner);
        box.setTextFormat(Qt::PlainText);
        box.exec();
    };
}

QuestionBoxHook QtQuestionBox(QWidget* owner) {
    return [owner = QPointer<QWidget>(owner)](const std::string& text) {
        QMessageBox box(QMessageBox::Question, Caption(), QString::fromStdString(text),
                        QMessageBox::Yes | QMessageBox::No, owner);
        box.setDefaultButton(QMessageBox::No);
        box.setTextFormat(Qt::PlainText);
        return box.exec() == QMessageBox::Yes;
    };
}
