#include "core/players/SchemaMigrations.h"

#include <string>

SqlStatus ReadSchemaIdentity(CSqliteDatabase& db, std::int32_t applicationId,
                             std::size_t currentVersion, SchemaIdentity& identity) {
    SqlStatus status;
    const auto owner = db.QueryInt("PRAGMA application_id", &status);
    if (!owner) {
        return status;
    }
    const auto version = db.QueryInt("PRAGMA user_version", &status);
    if (!version) {
        return status;
    }
    const auto objects = db.QueryInt("SELECT count(*) FROM sqlite_schema", &status);
    if (!objects) {
        return status;
    }
    identity.version = *version;
    const auto current = static_cast<std::int64_t>(currentVersion);
    if (*owner == applicationId) {
        identity.fit = *version < current    ? SchemaFit::Older
                       : *version == current ? SchemaFit::Current
                                             : SchemaFit::Newer;
    } else if (*owner == 0 && *version == 0 && *objects == 0) {
        identity.fit = SchemaFit::Empty;
    } else {
        identity.fit = SchemaFit::Foreign;
    }
    return {};
}

MigrationResult MigrateSchema(CSqliteDatabase& db, std::int32_t applicationId,
                              const std::vector<const char*>& steps) {
    MigrationResult result;
    // Read again under the write lock: another program may have upgraded the file meanwhile.
    CSqliteTransaction transaction(db);
    result.status = transaction.Begin();
    if (!result.status.Ok()) {
        return result;
    }
    result.status = ReadSchemaIdentity(db, applicationId, steps.size(), result.found);
    if (!result.status.Ok() ||
        (result.found.fit != SchemaFit::Empty && result.found.fit != SchemaFit::Older)) {
        return result;
    }
    for (std::size_t step = static_cast<std::size_t>(result.found.version); step < steps.size();
         ++step) {
        result.status = db.Exec(steps[step]);
        if (!result.status.Ok()) {
            return result;
        }
    }
    // Pragmas take no parameters; both values are this program's own numbers.
    const std::string stamp = "PRAGMA application_id = " + std::to_string(applicationId) +
                              "; PRAGMA user_version = " + std::to_string(steps.size());
    result.status = db.Exec(stamp.c_str());
    if (result.status.Ok()) {
        result.status = transaction.Commit();
    }
    result.changed = result.status.Ok();
    return result;
}
