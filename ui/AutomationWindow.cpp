#include "ui/AutomationWindow.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <sys/stat.h>

#include "core/automation/Automation.h"
#include "platform/WholeFile.h"
#include "res/Strings.h"

namespace {

enum Column { ON, RULE, WHAT, LAST, NEXT, HITS, COLUMNS };

QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QString TimeText(const std::optional<WallTime>& at) {
    if (!at) {
        return {};
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(at->time_since_epoch());
    return QDateTime::fromMSecsSinceEpoch(ms.count()).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

} // namespace

CAutomationWindow::CAutomationWindow(CAutomation& automation, QWidget* owner)
    : QDialog(owner, Qt::Tool), m_allOn(new QCheckBox(Text(strings::AUTOMATION_ON), this)),
      m_dryRun(new QCheckBox(Text(strings::AUTOMATION_DRY_RUN), this)), m_status(new QLabel(this)),
      m_rules(new QTableWidget(0, COLUMNS, this)), automation(automation) {
    setWindowTitle(Text(strings::AUTOMATION_CAPTION));
    auto* reload = new QPushButton(Text(strings::AUTOMATION_RELOAD), this);
    auto* openFile = new QPushButton(Text(strings::AUTOMATION_OPEN_FILE), this);
    auto* top = new QHBoxLayout;
    top->addWidget(m_allOn);
    top->addWidget(m_dryRun);
    top->addStretch(1);
    top->addWidget(reload);
    top->addWidget(openFile);
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_rules->setHorizontalHeaderLabels(
        {Text(strings::AUTOMATION_COLUMN_ON), Text(strings::AUTOMATION_COLUMN_RULE),
         Text(strings::AUTOMATION_COLUMN_WHAT), Text(strings::AUTOMATION_COLUMN_LAST),
         Text(strings::AUTOMATION_COLUMN_NEXT), Text(strings::AUTOMATION_COLUMN_HITS)});
    m_rules->verticalHeader()->hide();
    m_rules->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_rules->setSelectionMode(QAbstractItemView::NoSelection);
    m_rules->horizontalHeader()->setSectionResizeMode(WHAT, QHeaderView::Stretch);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_status);
    layout->addWidget(m_rules);
    resize(720, 320);

    connect(m_allOn, &QCheckBox::toggled, this,
            [this](bool on) { this->automation.SetEnabled(on); });
    connect(m_dryRun, &QCheckBox::toggled, this,
            [this](bool on) { this->automation.SetDryRun(on); });
    connect(reload, &QPushButton::clicked, this, &CAutomationWindow::reloadRequested);
    connect(openFile, &QPushButton::clicked, this, &CAutomationWindow::OpenFile);
    connect(m_rules, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (!filling && item->column() == ON) {
            this->automation.SetRuleEnabled(m_rules->item(item->row(), RULE)->text().toStdString(),
                                            item->checkState() == Qt::Checked);
        }
    });
    ShowLoadResult(std::nullopt);
}

void CAutomationWindow::Open() {
    Refresh();
    show();
    raise();
    activateWindow();
}

std::string CAutomationWindow::FilePath() const {
    return automation.Path().empty() ? defaultPath : automation.Path();
}

void CAutomationWindow::ShowLoadResult(const std::optional<RulesFileError>& error) {
    if (error) {
        m_status->setStyleSheet(QStringLiteral("color: #660000"));
        m_status->setText(QString::fromStdString(error->ToString()) + u'\n' +
                          Text(strings::AUTOMATION_KEPT));
    } else {
        m_status->setStyleSheet(QString());
        m_status->setText(FilePath().empty() ? Text(strings::AUTOMATION_NO_FILE)
                                             : QString::fromStdString(FilePath()));
    }
    Refresh();
}

void CAutomationWindow::Refresh() {
    if (!isVisible() && m_rules->rowCount() > 0) {
        return;
    }
    filling = true;
    m_allOn->setChecked(automation.Enabled());
    m_dryRun->setChecked(automation.DryRun());
    const std::vector<AutomationRuleState> rules = automation.Rules();
    m_rules->setRowCount(static_cast<int>(rules.size()));
    for (int row = 0; row < static_cast<int>(rules.size()); ++row) {
        const AutomationRuleState& rule = rules[static_cast<std::size_t>(row)];
        const QString cells[COLUMNS] = {QString(),
                                        QString::fromStdString(rule.name),
                                        QString::fromStdString(rule.summary),
                                        TimeText(rule.lastRun),
                                        TimeText(rule.nextRun),
                                        QString::number(rule.hits)};
        for (int column = 0; column < COLUMNS; ++column) {
            QTableWidgetItem* item = m_rules->item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                m_rules->setItem(row, column, item);
            }
            item->setText(cells[column]);
        }
        QTableWidgetItem* on = m_rules->item(row, ON);
        on->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        on->setCheckState(rule.enabled ? Qt::Checked : Qt::Unchecked);
    }
    filling = false;
}

// Opens the rules file in the desktop's editor; a server without one gets an empty file, made
// private like every file the program keeps.
void CAutomationWindow::OpenFile() {
    const std::string path = FilePath();
    if (path.empty()) {
        return;
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 &&
        !ReplaceWholeFile(path, "# Automation rules: see the user guide, \"Automation\".\n")) {
        m_status->setText(
            Text(strings::AUTOMATION_CANNOT_CREATE).arg(QString::fromStdString(path)));
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}
