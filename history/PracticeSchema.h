#pragma once

#include <cstdint>

struct sqlite3;

namespace history {

// The practice history's tables, and how a database of an older version is brought up to
// kSchemaVersion.

// The schema version of a Tunwick practice history (0: a new file). Throws PracticeStoreError:
// kUnreadable for another kind of database (or a damaged one), kNewer for a newer schema.
int32_t CheckSchema(sqlite3* db);

// Brings the database up to kSchemaVersion in one write transaction, stamped as Tunwick's;
// does nothing to one already there.
void UpgradeSchema(sqlite3* db);

}  // namespace history
