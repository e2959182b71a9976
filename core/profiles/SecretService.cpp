#include "core/profiles/SecretService.h"

#include <cstdlib>
#include <libsecret/secret.h>
#include <memory>
#include <sys/stat.h>

namespace {

const SecretSchema& Schema() {
    static const SecretSchema schema = [] {
        SecretSchema s{};
        s.name = "org.vyr_admin.Password";
        s.flags = SECRET_SCHEMA_NONE;
        s.attributes[0] = {"profile", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[1] = {"host", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[2] = {"port", SECRET_SCHEMA_ATTRIBUTE_INTEGER};
        s.attributes[3] = {"user", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return s;
    }();
    return schema;
}

// The attributes of the profile's item; the strings live as long as this object.
class Attributes {
  public:
    explicit Attributes(const ServerProfile& profile)
        : port(std::to_string(profile.port)),
          table(g_hash_table_new(g_str_hash, g_str_equal), g_hash_table_unref) {
        g_hash_table_insert(table.get(), const_cast<char*>("profile"),
                            const_cast<char*>(profile.name.c_str()));
        g_hash_table_insert(table.get(), const_cast<char*>("host"),
                            const_cast<char*>(profile.host.c_str()));
        g_hash_table_insert(table.get(), const_cast<char*>("port"), port.data());
        g_hash_table_insert(table.get(), const_cast<char*>("user"),
                            const_cast<char*>(profile.user.c_str()));
    }
    GHashTable* get() const { return table.get(); }

  private:
    std::string port;
    std::unique_ptr<GHashTable, void (*)(GHashTable*)> table;
};

struct ErrorDeleter {
    void operator()(GError* error) const { g_error_free(error); }
};
using Error = std::unique_ptr<GError, ErrorDeleter>;

const char UNAVAILABLE[] = "the desktop keyring is unavailable: ";
const char LOCKED[] =
    "the keyring is locked (unlock it, e.g. by logging in to the desktop, then try again)";

KeyringAnswer Unavailable(const std::string& reason) {
    KeyringAnswer answer;
    answer.outcome = KeyringOutcome::Unavailable;
    answer.message = UNAVAILABLE + reason;
    return answer;
}

// Why no session bus can be reached, or empty when there may be one. Checked before GLib would
// look for itself, because without an address GLib tries to launch a bus of its own via X11.
std::string NoSessionBus() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address != nullptr && *address != '\0') {
        return {};
    }
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat bus {};
    if (runtime != nullptr && *runtime == '/' &&
        ::stat((std::string(runtime) + "/bus").c_str(), &bus) == 0 && S_ISSOCK(bus.st_mode)) {
        return {};
    }
    return "there is no D-Bus session (DBUS_SESSION_BUS_ADDRESS is not set, as in an ssh "
           "login without a desktop)";
}

// A D-Bus peer's words, made safe for one line.
std::string Printable(const char* text) {
    std::string line = text != nullptr ? text : "";
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = ' ';
        }
    }
    return line;
}

KeyringAnswer Failed(GError* raw) {
    const Error error(raw);
    if (g_error_matches(error.get(), SECRET_ERROR, SECRET_ERROR_IS_LOCKED)) {
        return Unavailable(LOCKED);
    }
    if (error->domain == G_DBUS_ERROR && (error->code == G_DBUS_ERROR_SERVICE_UNKNOWN ||
                                          error->code == G_DBUS_ERROR_NAME_HAS_NO_OWNER ||
                                          (error->code >= G_DBUS_ERROR_SPAWN_EXEC_FAILED &&
                                           error->code <= G_DBUS_ERROR_SPAWN_NO_MEMORY))) {
        return Unavailable("no Secret Service runs on this D-Bus session (start gnome-keyring, "
                           "KeePassXC or another keyring)");
    }
    if (g_error_matches(error.get(), G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
        return Unavailable("the request was cancelled");
    }
    g_dbus_error_strip_remote_error(error.get());
    return Unavailable(Printable(error->message));
}

KeyringAnswer Answer(KeyringOutcome outcome, const std::string& message) {
    KeyringAnswer answer;
    answer.outcome = outcome;
    answer.message = message;
    return answer;
}

struct ItemsDeleter {
    void operator()(GList* items) const { g_list_free_full(items, g_object_unref); }
};
using Items = std::unique_ptr<GList, ItemsDeleter>;

// The items stored for the profile, unlocked where the keyring lets us (it may prompt). A
// search rather than a plain lookup: that answers "nothing" for an item in a locked
// collection, and a locked keyring is not the same as no password.
Items Search(const ServerProfile& profile, SecretSearchFlags flags, GCancellable* cancellable,
             GError** error) {
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_NONE, cancellable, error);
    if (service == nullptr) {
        return nullptr;
    }
    const Attributes attributes(profile);
    Items items(secret_service_search_sync(
        service, &Schema(), attributes.get(),
        static_cast<SecretSearchFlags>(flags | SECRET_SEARCH_ALL | SECRET_SEARCH_UNLOCK),
        cancellable, error));
    g_object_unref(service);
    return items;
}

bool AnyLocked(GList* items) {
    for (GList* item = items; item != nullptr; item = item->next) {
        if (secret_item_get_locked(SECRET_ITEM(item->data))) {
            return true;
        }
    }
    return false;
}

} // namespace

KeyringAnswer LookupPassword(const ServerProfile& profile, GCancellable* cancellable) {
    if (const std::string noBus = NoSessionBus(); !noBus.empty()) {
        return Unavailable(noBus);
    }
    GError* error = nullptr;
    const Items items = Search(profile, SECRET_SEARCH_LOAD_SECRETS, cancellable, &error);
    if (error != nullptr) {
        return Failed(error);
    }
    for (GList* item = items.get(); item != nullptr; item = item->next) {
        SecretValue* value = secret_item_get_secret(SECRET_ITEM(item->data));
        if (value == nullptr) {
            continue;
        }
        gsize length = 0;
        const gchar* bytes = secret_value_get(value, &length);
        KeyringAnswer answer = Answer(KeyringOutcome::Found, "the password of " + profile.name +
                                                                 " came from the desktop keyring");
        answer.password = SecretText(std::string_view(bytes, length));
        secret_value_unref(value); // libsecret wipes its copy
        return answer;
    }
    return AnyLocked(items.get())
               ? Unavailable(LOCKED)
               : Answer(KeyringOutcome::NotStored,
                        "the desktop keyring holds no password for " + profile.name);
}

KeyringAnswer StorePassword(const ServerProfile& profile, std::string_view password,
                            GCancellable* cancellable) {
    if (const std::string noBus = NoSessionBus(); !noBus.empty()) {
        return Unavailable(noBus);
    }
    const Attributes attributes(profile);
    const std::string label = "Vyr Remote Server Admin: " + profile.name + " (" + profile.user +
                              "@" + profile.host + ":" + std::to_string(profile.port) + ")";
    SecretValue* value =
        secret_value_new(password.data(), static_cast<gssize>(password.size()), "text/plain");
    GError* error = nullptr;
    const gboolean stored =
        secret_password_storev_binary_sync(&Schema(), attributes.get(), SECRET_COLLECTION_DEFAULT,
                                           label.c_str(), value, cancellable, &error);
    secret_value_unref(value);
    if (!stored) {
        return Failed(error);
    }
    return Answer(KeyringOutcome::Stored,
                  "the password of " + profile.name + " is now in the desktop keyring");
}

KeyringAnswer ClearPassword(const ServerProfile& profile, GCancellable* cancellable) {
    if (const std::string noBus = NoSessionBus(); !noBus.empty()) {
        return Unavailable(noBus);
    }
    GError* error = nullptr;
    const Items items = Search(profile, SECRET_SEARCH_NONE, cancellable, &error);
    if (error != nullptr) {
        return Failed(error);
    }
    if (AnyLocked(items.get())) {
        return Unavailable(LOCKED);
    }
    for (GList* item = items.get(); item != nullptr; item = item->next) {
        if (!secret_item_delete_sync(SECRET_ITEM(item->data), cancellable, &error)) {
            return Failed(error);
        }
    }
    return items != nullptr ? Answer(KeyringOutcome::Cleared, "the password of " + profile.name +
                                                                  " was removed from the desktop "
                                                                  "keyring")
                            : Answer(KeyringOutcome::NotStored,
                                     "the desktop keyring holds no password for " + profile.name);
}

KeyringAnswer MovePassword(const ServerProfile& from, const ServerProfile& to,
                           GCancellable* cancellable) {
    KeyringAnswer found = LookupPassword(from, cancellable);
    if (found.outcome != KeyringOutcome::Found) {
        return found;
    }
    KeyringAnswer stored = StorePassword(to, found.password.Text(), cancellable);
    const bool sameItem = from.name == to.name && from.host == to.host && from.port == to.port &&
                          from.user == to.user;
    if (stored.outcome != KeyringOutcome::Stored || sameItem) {
        return stored;
    }
    const KeyringAnswer cleared = ClearPassword(from, cancellable);
    if (cleared.outcome == KeyringOutcome::Unavailable) {
        // Stored under the new name: nothing is lost, the old item merely stays.
        stored.message += "; the old entry could not be removed: " + cleared.message;
    }
    return stored;
}
