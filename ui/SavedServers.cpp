#include "ui/SavedServers.h"

CSavedServers::CSavedServers(QObject* parent, std::string path)
    : QObject(parent), profiles(std::move(path)),
      loadProblem(QString::fromStdString(profiles.Load())), keyring(this) {}

void CSavedServers::Reload() {
    CServerProfiles fresh(profiles.Path());
    const std::string problem = fresh.Load();
    loadProblem = QString::fromStdString(problem);
    if (!problem.empty()) {
        // The old list stays in use; saving it is refused, as the file no longer holds it.
        return;
    }
    const bool different = fresh.List() != profiles.List();
    profiles = std::move(fresh);
    if (different) {
        emit changed(QString(), QString());
    }
}

std::string CSavedServers::Change(const std::function<std::string(CServerProfiles&)>& change,
                                  const QString& renamedFrom, const QString& renamedTo) {
    const CServerProfiles before = profiles;
    std::string problem = change(profiles);
    if (problem.empty()) {
        problem = profiles.Save();
    }
    if (!problem.empty()) {
        profiles = before;
        return problem;
    }
    emit changed(renamedFrom, renamedTo);
    return problem;
}
