// The application's schema and the check the main window runs with it.
#pragma once
#include <QString>
#include <QStringList>
#include <memory>

#include "schema/SchemaTables.h"

class QObject;
class TDbCheck;

// Gives a check the application's schema and a difference handler that always corrects.
void ConfigureApplicationCheck(TDbCheck& check);
std::unique_ptr<TDbCheck> MakeApplicationCheck(QObject* owner = nullptr);
// The main window's check (DBCheckData), made on first use; the reindexing runs it too.
TDbCheck& ApplicationCheck();

// First start: creates every table of the schema in a new data folder.
void CreateApplicationTables(TDbCheck& check, const QString& dataPath);

// "Contrôle de la base de données": checks every table of the data folder, then says it is done
// and lists what could not be corrected. Engine errors that end the check reach the caller.
void RunDatabaseCheck(TDbCheck& check, const QString& dataPath);
void RunDatabaseCheck(const QString& dataPath);  // on ApplicationCheck()
