#pragma once
// The server picker of a tab, in its Connection group: "(no profile)", the saved servers, and
// the commands "Servers..." and "Save as profile...". Choosing a server fills the login fields
// from it (host, port, user; the password comes from the server's source when the field is left
// empty); the fields stay editable. Going back to "(no profile)" puts back the fields as they were
// before the first server was chosen, so the plain login (vyr.ini's) is never lost on the way.

#include <QObject>
#include <QStringList>
#include <functional>
#include <optional>

#include "core/profiles/ServerProfile.h"

class QComboBox;
class QLineEdit;
class QWidget;
class CSavedServers;

struct LoginEdits {
    QLineEdit* user;
    QLineEdit* password;
    QLineEdit* host;
    QLineEdit* port;
};

class CServerPicker : public QObject {
    Q_OBJECT
  public:
    using Report = std::function<void(const QString& line)>;

    // `report` gets what the keyring answers to changes made from here (for the tab's log).
    CServerPicker(QComboBox* combo, CSavedServers& servers, LoginEdits fields, Report report,
                  QWidget* owner);

    // The chosen server as it was when chosen (or last changed in "Servers..."); null for a
    // plain login.
    const ServerProfile* Chosen() const { return chosen ? &*chosen : nullptr; }
    // Chooses the server called `name` (empty: none); false when there is none of that name.
    bool Choose(const QString& name);

    void OpenServers();
    void SaveAsProfile();

  signals:
    // Another server (or none) is chosen, or the chosen one changed.
    void chosenChanged();

  private:
    enum Row { PLAIN_ROW = 0 };
    void Fill();
    void OnActivated(int index);
    void Follow(const QString& renamedFrom, const QString& renamedTo);
    void FillFields(const ServerProfile& profile);
    QStringList Fields() const;
    void SetFields(const QStringList& fields);

    QComboBox* combo;
    CSavedServers& servers;
    LoginEdits fields;
    Report report;
    QWidget* owner;
    std::optional<ServerProfile> chosen;
    QStringList plainFields; // user, password, host, port before a server was chosen
};
