#pragma once
// The profile passwords in the Secret Service (the desktop keyring), through libsecret. Every
// call here blocks on D-Bus, and on an unlock prompt the keyring may show: call them from a
// worker thread only (CKeyring does). `cancellable` ends a call under way early.
//
// An item carries the schema "org.vyr_admin.Password" and the attributes profile, host, port
// and user, so `secret-tool search profile eu1` finds it too.

#include <string_view>

#include "core/profiles/KeyringAnswer.h"
#include "core/profiles/ServerProfile.h"

typedef struct _GCancellable GCancellable;

KeyringAnswer LookupPassword(const ServerProfile& profile, GCancellable* cancellable);
KeyringAnswer StorePassword(const ServerProfile& profile, std::string_view password,
                            GCancellable* cancellable);
KeyringAnswer ClearPassword(const ServerProfile& profile, GCancellable* cancellable);
// The password of `from` stored for `to` instead, for a profile renamed or pointed elsewhere.
KeyringAnswer MovePassword(const ServerProfile& from, const ServerProfile& to,
                           GCancellable* cancellable);
