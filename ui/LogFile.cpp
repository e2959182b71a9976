#include "ui/LogFile.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/PrintableText.h"
#include "platform/WholeFile.h"
#include "res/Strings.h"
#include "ui/Preferences.h"

namespace {

constexpr int FLUSH_MS = 1000;

// The text as one file line: control characters written as escapes, so that server text
// cannot start a line of its own.
QByteArray FileText(const QString& text) {
    if (std::none_of(text.begin(), text.end(),
                     [](QChar c) { return IsControlCharacter(c.unicode()); })) {
        return text.toUtf8();
    }
    QString escaped;
    for (const QChar c : text) {
        if (IsControlCharacter(c.unicode())) {
            escaped += QString::fromStdString(Printable(std::string(1, char(c.unicode()))));
        } else {
            escaped += c;
        }
    }
    return escaped.toUtf8();
}

QString LogsFolder() {
    const QString state = StateDirectory();
    return state.isEmpty() ? QString() : state + QStringLiteral("/logs");
}

} // namespace

CLogFile::CLogFile(std::function<void(const QString&)> onFailure)
    : m_onFailure(std::move(onFailure)) {
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(FLUSH_MS);
    m_flushTimer.callOnTimeout([this] { Flush(); });
}

QString CLogFile::SafeName(const QString& host) {
    QString name = host;
    for (QChar& c : name) {
        const bool safe = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                          (c >= u'0' && c <= u'9') || c == u'.' || c == u'-';
        if (!safe) {
            c = u'_';
        }
    }
    if (name.startsWith(u'.')) { // never ".", ".." or a hidden folder
        name[0] = u'_';
    }
    return name;
}

void CLogFile::Start(const QString& host, int port) {
    Flush();
    m_paused = false;
    m_lineOpen = false;
    const QString logs = LogsFolder();
    m_folder =
        logs.isEmpty() ? QString() : logs + u'/' + SafeName(host) + u'_' + QString::number(port);
    if (m_enabled && m_folder.isEmpty()) {
        Fail(QStringLiteral("$XDG_STATE_HOME/vyr"), QString::fromLocal8Bit(std::strerror(errno)));
    }
}

void CLogFile::SetEnabled(bool enabled) {
    if (!enabled) {
        Flush();
        m_lineOpen = false;
    }
    m_enabled = enabled;
}

void CLogFile::Append(const QString& text, bool lineBreak, const CLineClock::Stamp& stamp) {
    if (!m_enabled || m_paused || m_folder.isEmpty()) {
        return;
    }
    if (!m_lineOpen) {
        if (stamp.date != m_day) { // a new day, a new file
            Flush();
            m_day = stamp.date;
        }
        m_buffer += stamp.fileStamp;
        m_lineOpen = true;
    }
    m_buffer += FileText(text);
    if (lineBreak) {
        m_buffer += '\n';
        m_lineOpen = false;
    }
    if (!m_flushTimer.isActive()) {
        m_flushTimer.start();
    }
}

void CLogFile::Flush() {
    m_flushTimer.stop();
    if (m_buffer.isEmpty()) {
        return;
    }
    const QByteArray bytes = std::exchange(m_buffer, QByteArray());
    const QString path = FilePath();
    const std::string file = QFile::encodeName(path).toStdString();
    if (!MakePrivateDirectory(m_folder)) {
        Fail(m_folder, QString::fromLocal8Bit(std::strerror(errno)));
    } else if (!AppendToFile(file, std::string_view(bytes.constData(),
                                                    static_cast<std::size_t>(bytes.size())))) {
        Fail(path, QString::fromStdString(FileFailureText(file, errno)));
    }
}

void CLogFile::Fail(const QString& path, const QString& why) {
    m_paused = true;
    m_lineOpen = false;
    m_buffer.clear();
    m_flushTimer.stop();
    m_onFailure(QString::fromLatin1(strings::LOG_FILE_FAILED).arg(path, why));
}

QString CLogFile::Folder() const {
    return m_folder.isEmpty() ? LogsFolder() : m_folder;
}

QString CLogFile::FilePath() const {
    return m_folder.isEmpty() ? QString() : m_folder + u'/' + m_day + QStringLiteral(".log");
}
