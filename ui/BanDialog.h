#pragma once
// Ban or kick with a reason: the player (name and id), a reason (free text, the last reasons
// offered), for a ban its length (1 hour, 1 day, 1 week, permanent or a number of a unit), and
// a line to say in chat first (off by default). No is the default button; Escape cancels.

#include <QDialog>
#include <QStringList>
#include <cstdint>
#include <optional>

#include "core/bans/BanTracker.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

class CBanDialog : public QDialog {
    Q_OBJECT
  public:
    // `player` is the name as the server sent it.
    CBanDialog(RemovalOrder::Kind kind, const PlayerKey& player, const QStringList& lastReasons,
               QWidget* owner);

    // The order as filled in (UTF-8).
    RemovalOrder Order() const;

    QComboBox* m_reason;
    QComboBox* m_length;
    QSpinBox* m_customCount;
    QComboBox* m_customUnit;
    QCheckBox* m_sayFirst;
    QLineEdit* m_sayTemplate;
    QPushButton* m_yes;
    QPushButton* m_no;

  private:
    std::optional<std::int64_t> Seconds() const;

    RemovalOrder::Kind kind;
    PlayerKey player;
};
