#include "ui/ProfileDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "platform/MessageBox.h"
#include "res/Strings.h"
#include "ui/DialogUnits.h"
#include "ui/UserText.h"

namespace {

QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

} // namespace

CProfileDlg::CProfileDlg(const ServerProfile& start, const QString& caption, Take take,
                         QWidget* parent)
    : QDialog(parent), m_name(new QLineEdit(QString::fromStdString(start.name), this)),
      m_host(new QLineEdit(QString::fromStdString(start.host), this)),
      m_port(new QLineEdit(start.port > 0 ? QString::number(start.port) : QString(), this)),
      m_user(new QLineEdit(QString::fromStdString(start.user), this)),
      m_source(new QComboBox(this)),
      m_command(new QLineEdit(QString::fromStdString(start.passwordCommand), this)),
      m_password(new QLineEdit(this)),
      m_automation(new QLineEdit(QString::fromStdString(start.automationFile), this)),
      take(std::move(take)) {
    setWindowTitle(caption);
    m_name->setMaxLength(static_cast<int>(MAX_PROFILE_NAME));
    m_port->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,5}")), m_port));
    // In the order of PasswordSource.
    m_source->addItems(
        {Text(strings::SOURCE_ASK), Text(strings::SOURCE_KEYRING), Text(strings::SOURCE_COMMAND)});
    m_source->setCurrentIndex(static_cast<int>(start.passwordSource));
    m_command->setPlaceholderText(Text(strings::SOURCE_COMMAND_EXAMPLE));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setPlaceholderText(Text(strings::KEYRING_PASSWORD_PLACEHOLDER));
    m_automation->setPlaceholderText(Text(strings::AUTOMATION_NONE));
    connect(m_source, &QComboBox::currentIndexChanged, this, &CProfileDlg::ShowSource);

    auto* browse = new QPushButton(Text(strings::BROWSE), this);
    connect(browse, &QPushButton::clicked, this, &CProfileDlg::ChooseAutomationFile);
    auto* automationRow = new QHBoxLayout;
    automationRow->addWidget(m_automation);
    automationRow->addWidget(browse);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CProfileDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QFormLayout(this);
    layout->addRow(Text(strings::PROFILE_NAME), m_name);
    layout->addRow(Text(strings::PROFILE_HOST), m_host);
    layout->addRow(Text(strings::PROFILE_PORT), m_port);
    layout->addRow(Text(strings::PROFILE_USER), m_user);
    layout->addRow(Text(strings::PROFILE_SOURCE), m_source);
    layout->addRow(Text(strings::PROFILE_COMMAND), m_command);
    layout->addRow(Text(strings::PROFILE_KEYRING_PASSWORD), m_password);
    layout->addRow(Text(strings::PROFILE_AUTOMATION), automationRow);
    layout->addRow(buttons);
    m_host->setMinimumWidth(DialogUnitsToPixels(fontMetrics(), 160, 0).width());
    ShowSource();
}

// Only the field the chosen source uses can be typed in.
void CProfileDlg::ShowSource() {
    const auto source = static_cast<PasswordSource>(m_source->currentIndex());
    m_command->setEnabled(source == PasswordSource::Command);
    m_password->setEnabled(source == PasswordSource::Keyring);
}

void CProfileDlg::ChooseAutomationFile() {
    const QString path =
        QFileDialog::getOpenFileName(this, Text(strings::PROFILE_AUTOMATION), m_automation->text());
    if (!path.isEmpty()) {
        m_automation->setText(path);
    }
}

ServerProfile CProfileDlg::Profile() const {
    ServerProfile profile;
    profile.name = m_name->text().toStdString();
    profile.host = m_host->text().toStdString();
    profile.port = m_port->text().toInt(); // empty or not a number: 0, which the rules refuse
    profile.user = m_user->text().toStdString();
    profile.passwordSource = static_cast<PasswordSource>(m_source->currentIndex());
    if (profile.passwordSource == PasswordSource::Command) {
        profile.passwordCommand = m_command->text().toStdString();
    }
    profile.automationFile = m_automation->text().toStdString();
    return profile;
}

QString CProfileDlg::PasswordToStore() const {
    return m_password->isEnabled() ? m_password->text() : QString();
}

void CProfileDlg::accept() {
    const ServerProfile profile = Profile();
    // Each field's own rule first, so the box can point at the field.
    const std::pair<std::string, QLineEdit*> checks[] = {
        {ProfileNameProblem(profile.name), m_name},
        {HostProblem(profile.host), m_host},
        {PortProblem(profile.port), m_port},
        {UserProblem(profile.user), m_user},
        {profile.passwordSource == PasswordSource::Command
             ? PasswordCommandProblem(profile.passwordCommand)
             : std::string(),
         m_command},
        {AutomationFileProblem(profile.automationFile), m_automation},
    };
    for (const auto& [problem, field] : checks) {
        if (!problem.empty()) {
            AfxMessageBox(Sentence(problem));
            field->setFocus();
            return;
        }
    }
    if (const std::string problem = take(profile); !problem.empty()) {
        AfxMessageBox(Sentence(problem));
        return;
    }
    QDialog::accept();
}
