#pragma once
// One player memory per process: every server page of the window records into it and reads from
// it. It lives while a page holds it; its file is the one of $XDG_DATA_HOME when the first page
// asks for it.

#include <memory>

class CPlayerStore;

// Chat lines are kept `chatRetentionDays` (the preference), when the store is made here.
std::shared_ptr<CPlayerStore> SharedPlayerStore(int chatRetentionDays);
