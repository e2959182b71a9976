#include "ui/ServersDlg.h"

#include <QHBoxLayout>
#include <QInputDialog>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/MessageBox.h"
#include "res/Strings.h"
#include "ui/DialogUnits.h"
#include "ui/ProfileDlg.h"
#include "ui/SavedServers.h"
#include "ui/UserText.h"

namespace {

QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// "eu1   admin@eu1.example.org:27888": what a row shows.
QString RowText(const ServerProfile& profile) {
    return Text(strings::SERVERS_ROW)
        .arg(QString::fromStdString(profile.name), QString::fromStdString(profile.user),
             QString::fromStdString(profile.host), QString::number(profile.port));
}

bool SameLogin(const ServerProfile& a, const ServerProfile& b) {
    return a.name == b.name && a.host == b.host && a.port == b.port && a.user == b.user;
}

} // namespace

CServersDlg::CServersDlg(CSavedServers& servers, Report report, QWidget* parent)
    : QDialog(parent), m_list(new QListWidget(this)),
      m_addButton(new QPushButton(Text(strings::SERVERS_ADD), this)),
      m_editButton(new QPushButton(Text(strings::SERVERS_EDIT), this)),
      m_renameButton(new QPushButton(Text(strings::SERVERS_RENAME), this)),
      m_removeButton(new QPushButton(Text(strings::SERVERS_DELETE), this)),
      m_upButton(new QPushButton(Text(strings::SERVERS_UP), this)),
      m_downButton(new QPushButton(Text(strings::SERVERS_DOWN), this)), servers(servers),
      report(std::move(report)) {
    setWindowTitle(Text(strings::SERVERS_CAPTION));
    connect(m_addButton, &QPushButton::clicked, this, &CServersDlg::Add);
    connect(m_editButton, &QPushButton::clicked, this, &CServersDlg::EditSelected);
    connect(m_list, &QListWidget::itemActivated, this, &CServersDlg::EditSelected);
    connect(m_renameButton, &QPushButton::clicked, this, &CServersDlg::RenameSelected);
    connect(m_removeButton, &QPushButton::clicked, this, &CServersDlg::RemoveSelected);
    connect(m_upButton, &QPushButton::clicked, this, [this] { MoveSelected(-1); });
    connect(m_downButton, &QPushButton::clicked, this, [this] { MoveSelected(+1); });
    connect(m_list, &QListWidget::currentRowChanged, this, &CServersDlg::ShowSelection);
    auto* close = new QPushButton(Text(strings::SERVERS_CLOSE), this);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* button :
         {m_addButton, m_editButton, m_renameButton, m_removeButton, m_upButton, m_downButton}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    m_list->setMinimumSize(DialogUnitsToPixels(fontMetrics(), 180, 120));
    servers.Reload();
    if (!servers.LoadProblem().isEmpty()) {
        // Nothing can be saved until the file reads cleanly; the box says why and what to do.
        AfxMessageBox(Sentence(servers.LoadProblem()).toStdString());
    }
    Fill(QString());
}

void CServersDlg::Fill(const QString& select) {
    m_list->clear();
    for (const ServerProfile& profile : servers.Profiles().List()) {
        auto* row = new QListWidgetItem(RowText(profile), m_list);
        row->setData(Qt::UserRole, QString::fromStdString(profile.name));
        if (row->data(Qt::UserRole).toString() == select) {
            m_list->setCurrentItem(row);
        }
    }
    if (!m_list->currentItem() && m_list->count() > 0) {
        m_list->setCurrentRow(0);
    }
    ShowSelection();
}

const ServerProfile* CServersDlg::Selected() const {
    const QListWidgetItem* row = m_list->currentItem();
    return row ? servers.Profiles().Find(row->data(Qt::UserRole).toString().toStdString())
               : nullptr;
}

void CServersDlg::ShowSelection() {
    const int row = m_list->currentRow();
    for (QPushButton* button : {m_editButton, m_renameButton, m_removeButton}) {
        button->setEnabled(row >= 0);
    }
    m_upButton->setEnabled(row > 0);
    m_downButton->setEnabled(row >= 0 && row < m_list->count() - 1);
}

void CServersDlg::Add() {
    ServerProfile start;
    start.port = 27888;
    CProfileDlg form(
        start, Text(strings::SERVERS_ADD_CAPTION),
        [this](const ServerProfile& profile) {
            return servers.Change([&](CServerProfiles& list) { return list.Add(profile); });
        },
        this);
    if (form.exec() == QDialog::Accepted) {
        const ServerProfile added = form.Profile();
        FollowInKeyring(nullptr, &added, form.PasswordToStore());
        Fill(QString::fromStdString(added.name));
    }
}

void CServersDlg::EditSelected() {
    const ServerProfile* selected = Selected();
    if (!selected) {
        return;
    }
    const ServerProfile before = *selected;
    CProfileDlg form(
        before, Text(strings::SERVERS_EDIT_CAPTION).arg(QString::fromStdString(before.name)),
        [&](const ServerProfile& profile) {
            return servers.Change(
                [&](CServerProfiles& list) { return list.Edit(before.name, profile); },
                QString::fromStdString(before.name), QString::fromStdString(profile.name));
        },
        this);
    if (form.exec() == QDialog::Accepted) {
        const ServerProfile after = form.Profile();
        FollowInKeyring(&before, &after, form.PasswordToStore());
        Fill(QString::fromStdString(after.name));
    }
}

void CServersDlg::RenameSelected() {
    const ServerProfile* selected = Selected();
    if (!selected) {
        return;
    }
    const QString name = QString::fromStdString(selected->name);
    bool ok = false;
    const QString newName = QInputDialog::getText(this, Text(strings::SERVERS_RENAME_CAPTION),
                                                  Text(strings::SERVERS_RENAME_PROMPT).arg(name),
                                                  QLineEdit::Normal, name, &ok);
    if (ok && newName != name) {
        Rename(newName);
    }
}

bool CServersDlg::Rename(const QString& newName) {
    const ServerProfile* selected = Selected();
    if (!selected) {
        return false;
    }
    const ServerProfile before = *selected;
    const std::string problem = servers.Change(
        [&](CServerProfiles& list) { return list.Rename(before.name, newName.toStdString()); },
        QString::fromStdString(before.name), newName);
    if (!problem.empty()) {
        AfxMessageBox(Sentence(problem));
        return false;
    }
    ServerProfile after = before;
    after.name = newName.toStdString();
    FollowInKeyring(&before, &after, QString());
    Fill(newName);
    return true;
}

void CServersDlg::RemoveSelected() {
    const ServerProfile* selected = Selected();
    if (!selected) {
        return;
    }
    const ServerProfile before = *selected;
    const QString name = QString::fromStdString(before.name);
    if (!AfxQuestionBox(Text(strings::SERVERS_DELETE_QUESTION).arg(name).toStdString())) {
        return;
    }
    const std::string problem =
        servers.Change([&](CServerProfiles& list) { return list.Remove(before.name); });
    if (!problem.empty()) {
        AfxMessageBox(Sentence(problem));
        return;
    }
    FollowInKeyring(&before, nullptr, QString());
    Fill(QString());
}

void CServersDlg::MoveSelected(int step) {
    const ServerProfile* selected = Selected();
    if (!selected) {
        return;
    }
    const std::string name = selected->name;
    const std::string problem = servers.Change(
        [&](CServerProfiles& list) { return step < 0 ? list.MoveUp(name) : list.MoveDown(name); });
    if (!problem.empty()) {
        AfxMessageBox(Sentence(problem));
    }
    Fill(QString::fromStdString(name));
}

// The keyring holds one entry per name, host, port and user: it follows every saved change of
// those, and the admin hears how that went.
void CServersDlg::FollowInKeyring(const ServerProfile* before, const ServerProfile* after,
                                  const QString& password) {
    CKeyringAnswers& keyring = servers.Keyring();
    QObject* context = parent() ? parent() : &servers;
    const auto tell = [report = report](KeyringAnswer& answer) {
        report(Sentence(QString::fromStdString(answer.message)));
    };
    const bool had = before && before->passwordSource == PasswordSource::Keyring;
    const bool has = after && after->passwordSource == PasswordSource::Keyring;
    if (had && !after) {
        keyring.Clear(*before, context, tell);
    } else if (had && has && !SameLogin(*before, *after)) {
        keyring.Move(*before, *after, context, tell);
    }
    if (has && !password.isEmpty()) {
        keyring.Store(*after, password.toStdString(), context, tell);
    }
}
