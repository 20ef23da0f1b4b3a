// Reindexing: deletes every index and companion file of the schema's tables (the table file and
// its memo file stay), then lets the structure check rebuild what is missing.
#pragma once
#include <QString>

class TDbCheck;

void Reindex(TDbCheck& check, const QString& folder);
