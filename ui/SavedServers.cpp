#include "ui/SavedServers.h"

CSavedServers::CSavedServers(QObject* parent, std::string path)
    : QObject(parent), profiles(std::move(path)),
      loadProblem(QString::fromStdString(profiles.Load())), keyring(this) {}

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
