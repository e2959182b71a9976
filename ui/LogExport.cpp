#include "ui/LogExport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextDocument>
#include <cerrno>
#include <cstring>

#include "platform/WholeFile.h"

QString SaveLog(const QTextDocument& log, const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    const bool html = suffix == QLatin1String("html") || suffix == QLatin1String("htm");
    if (!QFileInfo(path).dir().exists()) {
        return QString::fromLocal8Bit(std::strerror(ENOENT)); // a folder is never made for it
    }
    const QByteArray text = (html ? log.toHtml() : log.toPlainText()).toUtf8();
    // Written whole to a synced temporary file and renamed: a full disk leaves the old file, and
    // a FIFO or device in its place is never opened.
    const std::string target = QFile::encodeName(path).toStdString();
    if (ReplaceWholeFile(
            target, std::string_view(text.constData(), static_cast<std::size_t>(text.size())))) {
        return {};
    }
    return QString::fromStdString(FileFailureText(target, errno));
}
