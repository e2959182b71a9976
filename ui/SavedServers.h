#pragma once
// The saved servers as the window's tabs share them: the profiles file, read once when the window
// opens and written whole by every change made in "Servers..." or "Save as profile...", and the
// desktop keyring. The pickers of all tabs follow each change.

#include <QObject>
#include <QString>
#include <functional>
#include <string>

#include "core/profiles/ServerProfiles.h"
#include "ui/KeyringAnswers.h"

class CSavedServers : public QObject {
    Q_OBJECT
  public:
    explicit CSavedServers(QObject* parent, std::string path = ServerProfilesPath());

    const CServerProfiles& Profiles() const { return profiles; }
    // Why the file could not be read at start (the list is then empty and is not saved over the
    // file); empty when it was read.
    const QString& LoadProblem() const { return loadProblem; }
    CKeyringAnswers& Keyring() { return keyring; }

    // Reads the file again, for "Servers..." to show what is on disk now (it may have been
    // edited by hand). A file that cannot be read leaves the list as it was, tabs and all, and
    // nothing is saved until it reads cleanly: LoadProblem() says why.
    void Reload();

    // Makes a change to the list and saves it; on any problem (the change's own or the save's)
    // the list stays as it was and the problem comes back, for a box. `renamedFrom` and
    // `renamedTo` name a profile the change renames, so that tabs showing it follow.
    std::string Change(const std::function<std::string(CServerProfiles&)>& change,
                       const QString& renamedFrom = QString(),
                       const QString& renamedTo = QString());

  signals:
    // The list changed and is saved; `renamedFrom` and `renamedTo` name a profile renamed by it.
    void changed(const QString& renamedFrom, const QString& renamedTo);

  private:
    CServerProfiles profiles;
    QString loadProblem;
    CKeyringAnswers keyring;
};
