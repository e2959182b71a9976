#include "core/profiles/Keyring.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <libsecret/secret.h>
#include <map>
#include <poll.h>

#include "tests/core/profiles/KeyringSession.h"

namespace fs = std::filesystem;

namespace {

ServerProfile Profile(const std::string& name) {
    ServerProfile profile;
    profile.name = name;
    profile.host = name + ".example.org";
    profile.port = 27015;
    profile.user = "admin";
    profile.passwordSource = PasswordSource::Keyring;
    return profile;
}

// The next answer, waited for as an event loop does, on ReadyFd(), with a generous bound.
KeyringAnswer Next(CKeyring& keyring) {
    pollfd ready{keyring.ReadyFd(), POLLIN, 0};
    EXPECT_EQ(::poll(&ready, 1, 60000), 1) << "no answer from the keyring within a minute";
    std::optional<KeyringAnswer> answer = keyring.TakeAnswer();
    if (!answer) {
        ADD_FAILURE() << "readable, yet no answer";
        return {};
    }
    return std::move(*answer);
}

KeyringAnswer Ask(CKeyring& keyring, unsigned request) {
    KeyringAnswer answer = Next(keyring);
    EXPECT_EQ(answer.request, request);
    return answer;
}

void ExpectUnavailable(CKeyring& keyring, const ServerProfile& profile, const char* because) {
    for (const unsigned request : {keyring.Lookup(profile), keyring.Store(profile, "pw"),
                                   keyring.Clear(profile), keyring.Move(profile, Profile("n"))}) {
        const KeyringAnswer answer = Ask(keyring, request);
        EXPECT_EQ(answer.outcome, KeyringOutcome::Unavailable) << answer.message;
        EXPECT_EQ(answer.message.rfind("the desktop keyring is unavailable: ", 0), 0U);
        EXPECT_NE(answer.message.find(because), std::string::npos) << answer.message;
        EXPECT_EQ(answer.message.find('\n'), std::string::npos) << "one line";
        EXPECT_TRUE(answer.password.Empty());
    }
}

class KeyringSession : public ::testing::Test {
  protected:
    void RequireSession(const std::string& mode) {
        if (const std::optional<std::string> why = WhyNoKeyringSession(mode)) {
            GTEST_SKIP() << *why;
        }
    }
};

class KeyringUnlocked : public KeyringSession {
  protected:
    void SetUp() override { RequireSession("unlocked"); }
};
class KeyringLocked : public KeyringSession {
  protected:
    void SetUp() override { RequireSession("unlocked"); }
};
class KeyringWithoutCollection : public KeyringSession {
  protected:
    void SetUp() override { RequireSession("no-collection"); }
};
class KeyringServiceAbsent : public KeyringSession {
  protected:
    void SetUp() override { RequireSession("no-service"); }
};

// The attributes of the one item stored for the profile called `name`, seen as any other
// Secret Service client (secret-tool, Seahorse) sees them.
std::map<std::string, std::string> ItemAttributes(const std::string& name) {
    GHashTable* query = g_hash_table_new(g_str_hash, g_str_equal);
    g_hash_table_insert(query, const_cast<char*>("profile"), const_cast<char*>(name.c_str()));
    GError* error = nullptr;
    GList* items =
        secret_service_search_sync(nullptr, nullptr, query, SECRET_SEARCH_ALL, nullptr, &error);
    g_hash_table_unref(query);
    std::map<std::string, std::string> attributes;
    EXPECT_EQ(error, nullptr);
    EXPECT_EQ(g_list_length(items), 1U);
    if (items != nullptr) {
        GHashTable* found = secret_item_get_attributes(SECRET_ITEM(items->data));
        GHashTableIter at;
        gpointer key = nullptr;
        gpointer value = nullptr;
        g_hash_table_iter_init(&at, found);
        while (g_hash_table_iter_next(&at, &key, &value)) {
            attributes[static_cast<char*>(key)] = static_cast<char*>(value);
        }
        g_hash_table_unref(found);
    }
    g_list_free_full(items, g_object_unref);
    return attributes;
}

TEST_F(KeyringUnlocked, StoresLooksUpMovesAndClears) {
    CKeyring keyring;
    const ServerProfile eu1 = Profile("eu1");
    // Any bytes a password may hold, beyond one short line of ASCII.
    const std::string password = "p\xc3\xa4sswort " + std::string(3000, 'x') + " \x01\xff";

    KeyringAnswer answer = Ask(keyring, keyring.Lookup(eu1));
    EXPECT_EQ(answer.outcome, KeyringOutcome::NotStored);
    EXPECT_NE(answer.message.find("no password for eu1"), std::string::npos) << answer.message;
    EXPECT_EQ(Ask(keyring, keyring.Store(eu1, password)).outcome, KeyringOutcome::Stored);
    answer = Ask(keyring, keyring.Lookup(eu1));
    EXPECT_EQ(answer.outcome, KeyringOutcome::Found);
    EXPECT_EQ(answer.password.Text(), password);
    EXPECT_EQ(ItemAttributes("eu1"),
              (std::map<std::string, std::string>{{"profile", "eu1"},
                                                  {"host", "eu1.example.org"},
                                                  {"port", "27015"},
                                                  {"user", "admin"},
                                                  {"xdg:schema", "org.vyr_admin.Password"}}));

    // The password belongs to that server and login only.
    ServerProfile elsewhere = eu1;
    elsewhere.host = "eu2.example.org";
    ServerProfile otherPort = eu1;
    otherPort.port = 27016;
    ServerProfile otherUser = eu1;
    otherUser.user = "root";
    for (const ServerProfile& other : {elsewhere, otherPort, otherUser}) {
        EXPECT_EQ(Ask(keyring, keyring.Lookup(other)).outcome, KeyringOutcome::NotStored);
    }

    // Storing again replaces it.
    EXPECT_EQ(Ask(keyring, keyring.Store(eu1, "second")).outcome, KeyringOutcome::Stored);
    EXPECT_EQ(Ask(keyring, keyring.Lookup(eu1)).password.Text(), "second");
    EXPECT_EQ(ItemAttributes("eu1").size(), 5U);

    // A rename takes the password along, and nothing stays behind.
    const ServerProfile renamed = Profile("europe");
    EXPECT_EQ(Ask(keyring, keyring.Move(eu1, renamed)).outcome, KeyringOutcome::Stored);
    EXPECT_EQ(Ask(keyring, keyring.Lookup(eu1)).outcome, KeyringOutcome::NotStored);
    EXPECT_EQ(Ask(keyring, keyring.Lookup(renamed)).password.Text(), "second");
    EXPECT_EQ(Ask(keyring, keyring.Move(renamed, renamed)).outcome, KeyringOutcome::Stored);
    EXPECT_EQ(Ask(keyring, keyring.Lookup(renamed)).password.Text(), "second");
    EXPECT_EQ(Ask(keyring, keyring.Move(eu1, renamed)).outcome, KeyringOutcome::NotStored);

    EXPECT_EQ(Ask(keyring, keyring.Clear(renamed)).outcome, KeyringOutcome::Cleared);
    EXPECT_EQ(Ask(keyring, keyring.Lookup(renamed)).outcome, KeyringOutcome::NotStored);
    EXPECT_EQ(Ask(keyring, keyring.Clear(renamed)).outcome, KeyringOutcome::NotStored);
}

TEST_F(KeyringUnlocked, AnswersComeInTheOrderAskedWithTheirNumbers) {
    CKeyring keyring;
    const unsigned asked[] = {keyring.Store(Profile("a"), "pa"), keyring.Store(Profile("b"), "pb"),
                              keyring.Lookup(Profile("b")),      keyring.Lookup(Profile("a")),
                              keyring.Clear(Profile("a")),       keyring.Clear(Profile("b"))};
    std::vector<KeyringAnswer> answers;
    for (const unsigned request : asked) {
        answers.push_back(Ask(keyring, request));
    }
    EXPECT_EQ(answers[2].password.Text(), "pb");
    EXPECT_EQ(answers[3].password.Text(), "pa");
    EXPECT_EQ(answers[5].outcome, KeyringOutcome::Cleared);
    pollfd ready{keyring.ReadyFd(), POLLIN, 0};
    EXPECT_EQ(::poll(&ready, 1, 0), 0) << "nothing left to take";

    // Going away with requests still queued neither waits for them nor hangs.
    CKeyring leaving;
    for (int i = 0; i < 50; ++i) {
        leaving.Lookup(Profile("a"));
    }
}

TEST_F(KeyringLocked, ALockedKeyringIsUnavailableNotEmpty) {
    CKeyring keyring;
    ASSERT_EQ(Ask(keyring, keyring.Store(Profile("eu1"), "pw")).outcome, KeyringOutcome::Stored);

    GError* error = nullptr;
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, &error);
    ASSERT_NE(service, nullptr);
    SecretCollection* collection = secret_collection_for_alias_sync(
        service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr, &error);
    ASSERT_NE(collection, nullptr);
    GList objects{collection, nullptr, nullptr};
    EXPECT_EQ(secret_service_lock_sync(service, &objects, nullptr, nullptr, &error), 1);
    g_object_unref(collection);
    g_object_unref(service);

    // The keyring's unlock prompt cannot show without a display, as in an ssh session.
    ExpectUnavailable(keyring, Profile("eu1"), "locked");
}

TEST_F(KeyringWithoutCollection, NoCollectionToStoreIntoIsUnavailable) {
    CKeyring keyring;
    const KeyringAnswer stored = Ask(keyring, keyring.Store(Profile("eu1"), "pw"));
    EXPECT_EQ(stored.outcome, KeyringOutcome::Unavailable);
    EXPECT_NE(stored.message.find("collection"), std::string::npos) << stored.message;
    EXPECT_EQ(Ask(keyring, keyring.Lookup(Profile("eu1"))).outcome, KeyringOutcome::NotStored);
}

TEST_F(KeyringServiceAbsent, NoSecretServiceIsUnavailable) {
    CKeyring keyring;
    ExpectUnavailable(keyring, Profile("eu1"), "no Secret Service runs on this D-Bus session");
}

TEST(NoKeyring, WithoutADBusSessionTheKeyringIsUnavailableAtOnce) {
    const fs::path runtime = fs::temp_directory_path() / "vyr-no-bus";
    fs::create_directories(runtime);
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    ::unsetenv("DISPLAY");
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    CKeyring keyring;
    ExpectUnavailable(keyring, Profile("eu1"), "there is no D-Bus session");
    fs::remove_all(runtime);
}

} // namespace
