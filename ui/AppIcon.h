#pragma once
#include <QIcon>

// The program's icon (a server rack), at 32x32 and 256x256.
QIcon AppIcon();
