#pragma once
// One saved server's form, for "Servers..." (add, edit) and "Save as profile...": every field of
// a profile, and for a keyring profile a password to store there. OK checks the fields by the
// profile rules, then hands the profile to `take` (which adds or replaces it and saves the list);
// any problem keeps the form open, with a box that says what, and the field in question focused.

#include <QDialog>
#include <functional>
#include <string>

#include "core/profiles/ServerProfile.h"

class QComboBox;
class QLineEdit;

class CProfileDlg : public QDialog {
  public:
    using Take = std::function<std::string(const ServerProfile& profile)>;

    CProfileDlg(const ServerProfile& start, const QString& caption, Take take, QWidget* parent);

    // The profile as the fields give it.
    ServerProfile Profile() const;
    // The password typed for the keyring; empty: leave the keyring as it is.
    QString PasswordToStore() const;

    void accept() override;

    QLineEdit* m_name;
    QLineEdit* m_host;
    QLineEdit* m_port;
    QLineEdit* m_user;
    QComboBox* m_source;
    QLineEdit* m_command;
    QLineEdit* m_password;
    QLineEdit* m_automation;

  private:
    void ShowSource();
    void ChooseAutomationFile();

    Take take;
};
