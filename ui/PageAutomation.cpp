#include "ui/PageAutomation.h"

#include <QTimer>
#include <sys/stat.h>

#include "core/CoreTexts.h"
#include "ui/AutomationWindow.h"

namespace {

// Schedules want a tick at least once a second.
constexpr int TICK_MS = 1000;

} // namespace

CPageAutomation::CPageAutomation(QWidget* page)
    : QObject(page), tick(new QTimer(this)), window(new CAutomationWindow(automation, page)) {
    connect(tick, &QTimer::timeout, this, &CPageAutomation::Step);
    connect(window, &CAutomationWindow::reloadRequested, this,
            [this] { Load(automation.Path(), false); });
}

CPageAutomation::~CPageAutomation() = default;

void CPageAutomation::SessionStarting(const std::string& host, int port,
                                      const std::string& rulesFile) {
    const std::string path = rulesFile.empty() ? AutomationRulesPath(host, port) : rulesFile;
    window->SetDefaultPath(path);
    if (path != automation.Path()) {
        Load(path, rulesFile.empty());
    }
}

// A server's default file is optional; a file named in a profile, or reloaded, must be there.
void CPageAutomation::Load(const std::string& path, bool quietWhenMissing) {
    struct stat info {};
    if (quietWhenMissing && ::stat(path.c_str(), &info) != 0) {
        return;
    }
    const std::optional<RulesFileError> error = automation.Load(path);
    window->ShowLoadResult(error);
    if (error) {
        emit logLine(QString::fromStdString("automation: " + error->ToString()));
        return;
    }
    if (!tick->isActive()) {
        tick->start(TICK_MS);
    }
}

void CPageAutomation::Connected() {
    session.Connected();
}

void CPageAutomation::Disconnected() {
    session.Disconnected();
}

void CPageAutomation::Observe(const ClientEvent& event) {
    session.Observe(event);
}

void CPageAutomation::Step() {
    if (!client) {
        return;
    }
    for (const AutomationOutput& output : session.Step(*client, CAutomationSession::Clock::now())) {
        emit logLine(QString::fromStdString(AUTOMATION_MARK + output.log));
        if (output.type == AutomationOutputType::Attention) {
            emit attentionWanted();
        }
        emit outputCarried(output);
    }
    window->Refresh();
}

void CPageAutomation::ShowWindow() {
    window->Open();
}
