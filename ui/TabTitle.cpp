#include "ui/TabTitle.h"

#include "res/Strings.h"

QString TabTitle(const QString& name, PageState state, int unseenLines) {
    QString title = name.isEmpty() ? QString::fromUtf8(strings::NEW_TAB) : name;
    const char* stateText = nullptr;
    switch (state) {
    case PageState::Idle:
        break;
    case PageState::Connecting:
        stateText = strings::STATE_CONNECTING;
        break;
    case PageState::Connected:
        stateText = strings::STATE_CONNECTED;
        break;
    case PageState::Reconnecting:
        stateText = strings::STATE_RECONNECTING;
        break;
    case PageState::Lost:
        stateText = strings::STATE_LOST;
        break;
    }
    if (stateText) {
        title =
            QString::fromUtf8(strings::TAB_TITLE_STATE).arg(title, QString::fromUtf8(stateText));
    }
    if (unseenLines > 0) {
        title = QString::fromUtf8(strings::TAB_TITLE_UNSEEN).arg(title).arg(unseenLines);
    }
    return title;
}
