#include "ui/LogExport.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QTextDocument>

QString SaveLog(const QTextDocument& log, const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    const bool html = suffix == QLatin1String("html") || suffix == QLatin1String("htm");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    file.write((html ? log.toHtml() : log.toPlainText()).toUtf8());
    return file.commit() ? QString() : file.errorString();
}
