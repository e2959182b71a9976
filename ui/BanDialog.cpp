#include "ui/BanDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "engine/PrintableText.h"
#include "res/Strings.h"
#include "ui/WireText.h"

namespace {

QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// The lengths offered, in the order shown; none: permanent. Custom is the last entry.
const std::optional<std::int64_t> PRESET_SECONDS[] = {3600, 86400, 7 * 86400, std::nullopt};
constexpr std::int64_t UNIT_SECONDS[] = {60, 3600, 86400, 7 * 86400};
constexpr int PERMANENT_INDEX = 3;
constexpr int CUSTOM_INDEX = 4;

} // namespace

CBanDialog::CBanDialog(RemovalOrder::Kind kind, const PlayerKey& player,
                       const QStringList& lastReasons, QWidget* owner)
    : QDialog(owner), m_reason(new QComboBox(this)), m_length(new QComboBox(this)),
      m_customCount(new QSpinBox(this)), m_customUnit(new QComboBox(this)),
      m_sayFirst(new QCheckBox(Text(strings::BAN_SAY_FIRST), this)),
      m_sayTemplate(new QLineEdit(this)), kind(kind), player(player) {
    const bool ban = kind == RemovalOrder::Kind::Ban;
    setWindowTitle(Text(ban ? strings::BAN_CAPTION : strings::KICK_CAPTION));
    auto* question = new QLabel(Text(ban ? strings::BAN_PLAYER : strings::KICK_PLAYER)
                                    .arg(FromWire(Printable(player.name)))
                                    .arg(player.id),
                                this);
    question->setTextFormat(Qt::PlainText);

    m_reason->setEditable(true);
    m_reason->setInsertPolicy(QComboBox::NoInsert);
    m_reason->addItems(lastReasons);
    m_reason->setCurrentText(QString());
    m_reason->lineEdit()->setMaxLength(static_cast<int>(MAX_BAN_REASON));

    for (const char* preset : {strings::BAN_ONE_HOUR, strings::BAN_ONE_DAY, strings::BAN_ONE_WEEK,
                               strings::BAN_PERMANENT, strings::BAN_CUSTOM}) {
        m_length->addItem(Text(preset));
    }
    m_length->setCurrentIndex(PERMANENT_INDEX); // what a ban was before it had a length
    m_customCount->setRange(1, 9999);
    m_customCount->setValue(2);
    for (const char* unit :
         {strings::BAN_MINUTES, strings::BAN_HOURS, strings::BAN_DAYS, strings::BAN_WEEKS}) {
        m_customUnit->addItem(Text(unit));
    }
    m_customUnit->setCurrentIndex(1);
    const auto customShown = [this](int index) {
        m_customCount->setEnabled(index == CUSTOM_INDEX);
        m_customUnit->setEnabled(index == CUSTOM_INDEX);
    };
    customShown(m_length->currentIndex());
    connect(m_length, qOverload<int>(&QComboBox::currentIndexChanged), this, customShown);

    m_sayTemplate->setText(Text(ban ? DEFAULT_SAY_TEMPLATE : DEFAULT_KICK_SAY_TEMPLATE));
    m_sayTemplate->setEnabled(false);
    connect(m_sayFirst, &QCheckBox::toggled, m_sayTemplate, &QWidget::setEnabled);

    auto* form = new QFormLayout;
    form->addRow(Text(strings::BAN_REASON), m_reason);
    if (ban) {
        auto* lengthRow = new QHBoxLayout;
        lengthRow->addWidget(m_length);
        lengthRow->addWidget(m_customCount);
        lengthRow->addWidget(m_customUnit);
        lengthRow->addStretch(1);
        form->addRow(Text(strings::BAN_DURATION), lengthRow);
    } else {
        for (QWidget* unused :
             {static_cast<QWidget*>(m_length), static_cast<QWidget*>(m_customCount),
              static_cast<QWidget*>(m_customUnit)}) {
            unused->hide();
        }
    }
    form->addRow(m_sayFirst);
    form->addRow(m_sayTemplate);

    // No stays the default, as in the question box this dialog replaces: Enter never bans.
    auto* buttons = new QDialogButtonBox(this);
    m_yes = buttons->addButton(Text(ban ? strings::BAN_YES : strings::KICK_YES),
                               QDialogButtonBox::YesRole);
    m_no = buttons->addButton(Text(strings::BAN_NO), QDialogButtonBox::NoRole);
    m_yes->setAutoDefault(false);
    m_no->setDefault(true);
    connect(m_yes, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_no, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(question);
    layout->addLayout(form);
    layout->addWidget(buttons);
    m_reason->setFocus();
}

std::optional<std::int64_t> CBanDialog::Seconds() const {
    const int index = m_length->currentIndex();
    if (index == CUSTOM_INDEX) {
        return m_customCount->value() * UNIT_SECONDS[m_customUnit->currentIndex()];
    }
    return PRESET_SECONDS[index];
}

RemovalOrder CBanDialog::Order() const {
    RemovalOrder order;
    order.kind = kind;
    order.player = player;
    order.reason = m_reason->currentText().trimmed().toStdString();
    if (kind == RemovalOrder::Kind::Ban) {
        order.seconds = Seconds();
    }
    if (m_sayFirst->isChecked()) {
        order.sayFirst = m_sayTemplate->text().toStdString();
    }
    return order;
}
