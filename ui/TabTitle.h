#pragma once
// A tab's title: the server's name (or the host typed, or "New tab"), its session's state unless
// idle, and the count of log lines added while another tab was shown.

#include <QString>

#include "ui/PageContext.h"

QString TabTitle(const QString& name, PageState state, int unseenLines);
