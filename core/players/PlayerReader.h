#pragma once
// The reading side of the player memory: a connection of its own on the front end's thread.
// In WAL mode it reads beside the writer without waiting for it; a short busy time-out covers
// the rare moments another program holds the file, and the read then says so instead of
// waiting on.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/players/PlayerRecords.h"
#include "core/players/SqliteDatabase.h"

class CPlayerReader {
  public:
    explicit CPlayerReader(std::string path);
    ~CPlayerReader();
    CPlayerReader(const CPlayerReader&) = delete;
    CPlayerReader& operator=(const CPlayerReader&) = delete;

    // Drops the connection: the next read opens the file afresh (after it was replaced).
    void Close();
    // True when the last failure said the file is damaged.
    bool SawDamage() const { return sawDamage; }

    // One record per name, in order; none for a name never recorded on the server.
    StoreRead<std::vector<std::optional<PlayerRecord>>>
    Records(const ServerKey& server, const std::vector<std::string>& names, std::int64_t now);
    // Names holding `fragment` (UTF-8, any case); an empty fragment lists everyone. Most
    // recently seen first.
    StoreRead<std::vector<PlayerSummary>>
    SearchNames(const ServerKey& server, const std::string& fragment, int limit, std::int64_t now);
    // Players with chat lines holding every word of `words`; most recently seen first.
    StoreRead<std::vector<PlayerSummary>>
    SearchChat(const ServerKey& server, const std::string& words, int limit, std::int64_t now);
    StoreRead<std::optional<PlayerPage>> Page(const ServerKey& server, const std::string& name,
                                              const PageQuery& query, std::int64_t now);
    // Newest first.
    StoreRead<std::vector<BanRecord>> Bans(const ServerKey& server);
    // In force (or waiting for a retried lift) and expired by `now`; soonest expiry first.
    StoreRead<std::vector<BanRecord>> BansDue(const ServerKey& server, std::int64_t now);
    // The record for an address: one still in force before older ones.
    StoreRead<std::optional<BanRecord>> BanByAddress(const ServerKey& server,
                                                     const std::string& address);

  private:
    struct Statements;
    // Empty when the connection is ready, else why not.
    std::string Ensure();
    std::string Failure(int code);
    // The server's row id; none (with an empty error) when nothing was recorded for it.
    std::optional<std::int64_t> ServerId(const ServerKey& server, std::string& error);
    std::optional<std::pair<std::int64_t, PlayerRecord>>
    Record(std::int64_t serverId, const std::string& name, std::int64_t now, std::string& error);
    StoreRead<std::vector<PlayerSummary>> Summaries(CSqliteStatement& statement, std::int64_t now);
    StoreRead<std::vector<BanRecord>> BanRows(CSqliteStatement& statement, std::size_t most);

    std::string path;
    CSqliteDatabase db;
    std::unique_ptr<Statements> statements;
    bool sawDamage = false;
};
