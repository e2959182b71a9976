#include "ui/ServerPicker.h"

#include <QComboBox>
#include <QLineEdit>

#include "core/LoginRules.h"
#include "res/Strings.h"
#include "ui/ProfileDlg.h"
#include "ui/SavedServers.h"
#include "ui/ServersDlg.h"
#include "ui/UserText.h"

namespace {

QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// What a row of the picker is: a server's name, or one of these.
const QString PLAIN = QStringLiteral(":plain");
const QString SERVERS_COMMAND = QStringLiteral(":servers");
const QString SAVE_AS_COMMAND = QStringLiteral(":save-as");

} // namespace

CServerPicker::CServerPicker(QComboBox* combo, CSavedServers& servers, LoginEdits fields,
                             Report report, QWidget* owner)
    : QObject(combo), combo(combo), servers(servers), fields(fields), report(std::move(report)),
      owner(owner) {
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(8);
    connect(combo, &QComboBox::activated, this, &CServerPicker::OnActivated);
    connect(&servers, &CSavedServers::changed, this, &CServerPicker::Follow);
    Fill();
}

void CServerPicker::Fill() {
    const QSignalBlocker quiet(combo);
    combo->clear();
    combo->addItem(Text(strings::PICKER_PLAIN), PLAIN);
    for (const ServerProfile& profile : servers.Profiles().List()) {
        const QString name = QString::fromStdString(profile.name);
        combo->addItem(name, name);
    }
    combo->insertSeparator(combo->count());
    combo->addItem(Text(strings::PICKER_SERVERS), SERVERS_COMMAND);
    combo->addItem(Text(strings::PICKER_SAVE_AS), SAVE_AS_COMMAND);
    const int at = chosen ? combo->findData(QString::fromStdString(chosen->name)) : PLAIN_ROW;
    combo->setCurrentIndex(at >= 0 ? at : PLAIN_ROW);
}

void CServerPicker::OnActivated(int index) {
    const QString data = combo->itemData(index).toString();
    if (data == SERVERS_COMMAND || data == SAVE_AS_COMMAND) {
        // A command is no choice: the row shows what was chosen before.
        Fill();
        if (data == SERVERS_COMMAND) {
            OpenServers();
        } else {
            SaveAsProfile();
        }
        return;
    }
    Choose(data == PLAIN ? QString() : data);
}

bool CServerPicker::Choose(const QString& name) {
    if (name.isEmpty()) {
        if (chosen) {
            chosen.reset();
            SetFields(plainFields);
            Fill();
            emit chosenChanged();
        }
        return true;
    }
    const ServerProfile* profile = servers.Profiles().Find(name.toStdString());
    if (!profile) {
        return false;
    }
    if (!chosen) {
        plainFields = Fields();
    }
    chosen = *profile;
    FillFields(*profile);
    Fill();
    emit chosenChanged();
    return true;
}

void CServerPicker::FillFields(const ServerProfile& profile) {
    SetFields({QString::fromStdString(profile.user), QString(),
               QString::fromStdString(profile.host), QString::number(profile.port)});
}

QStringList CServerPicker::Fields() const {
    return {fields.user->text(), fields.password->text(), fields.host->text(), fields.port->text()};
}

void CServerPicker::SetFields(const QStringList& values) {
    QLineEdit* const edits[] = {fields.user, fields.password, fields.host, fields.port};
    for (int i = 0; i < 4; ++i) {
        edits[i]->setText(i < values.size() ? values[i] : QString());
    }
}

// After a change in "Servers...": the list is filled again, and the chosen server follows a
// rename. When it changed, an idle tab takes its new fields; a tab in a session keeps what it
// logged in with until the next connect.
void CServerPicker::Follow(const QString& renamedFrom, const QString& renamedTo) {
    if (chosen && !renamedFrom.isEmpty() && QString::fromStdString(chosen->name) == renamedFrom) {
        chosen->name = renamedTo.toStdString();
    }
    if (chosen) {
        const ServerProfile* now = servers.Profiles().Find(chosen->name);
        if (!now) {
            chosen.reset(); // deleted: the fields stay as they are, now a plain login
            plainFields.clear();
        } else if (!(*now == *chosen)) {
            const bool idle = fields.host->isEnabled();
            if (idle) {
                FillFields(*now);
            }
            chosen = *now;
        }
    }
    Fill();
    emit chosenChanged();
}

void CServerPicker::OpenServers() {
    CServersDlg dialog(servers, report, owner);
    dialog.exec();
}

// The fields as a new server: the form opens with them; a typed password is offered for the
// keyring. Once saved, the new server is the chosen one, its fields as they are.
void CServerPicker::SaveAsProfile() {
    ServerProfile start;
    start.host = fields.host->text().toStdString();
    start.port = PortNumber(fields.port->text().toStdString()).value_or(0);
    start.user = fields.user->text().toStdString();
    const QString password = fields.password->text();
    start.passwordSource = password.isEmpty() ? PasswordSource::Ask : PasswordSource::Keyring;
    CProfileDlg form(
        start, Text(strings::SAVE_AS_CAPTION),
        [this](const ServerProfile& profile) {
            return servers.Change([&](CServerProfiles& list) { return list.Add(profile); });
        },
        owner);
    form.m_password->setText(password);
    if (form.exec() != QDialog::Accepted) {
        return;
    }
    const ServerProfile added = form.Profile();
    if (!chosen) {
        plainFields = Fields();
    }
    chosen = added;
    Fill();
    emit chosenChanged();
    if (const QString toStore = form.PasswordToStore(); !toStore.isEmpty()) {
        servers.Keyring().Store(added, toStore.toStdString(), owner,
                                [report = report](KeyringAnswer& answer) {
                                    report(Sentence(QString::fromStdString(answer.message)));
                                });
    }
}
