#pragma once
// Schema versions in PRAGMA user_version, the file's owner in PRAGMA application_id. Step i
// takes the schema from version i to i + 1; a new file runs every step, an older one the steps
// it lacks, all in one transaction, so an upgrade that fails leaves the file as it was.

#include <cstdint>
#include <vector>

#include "core/players/SqliteDatabase.h"

enum class SchemaFit {
    Empty,   // no tables and no owner: ours to fill
    Older,   // ours, needs steps
    Current, // ours, nothing to do
    Newer,   // ours, from a later version of the program
    Foreign, // another program's database
};

struct SchemaIdentity {
    SchemaFit fit = SchemaFit::Empty;
    std::int64_t version = 0;
};

// Reads only: the header and the table list. A file that is no database fails here
// (SQLITE_NOTADB), before anything could be written to it.
SqlStatus ReadSchemaIdentity(CSqliteDatabase& db, std::int32_t applicationId,
                             std::size_t currentVersion, SchemaIdentity& identity);

struct MigrationResult {
    SqlStatus status;     // a failed step or a busy file; nothing changed then
    SchemaIdentity found; // what the file was before
    bool changed = false; // steps ran
};

// Brings an empty or older file of ours to the last step's version. Newer and foreign files are
// left untouched (status Ok, found says which).
MigrationResult MigrateSchema(CSqliteDatabase& db, std::int32_t applicationId,
                              const std::vector<const char*>& steps);
