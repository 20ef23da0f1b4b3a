// The engine's errors: the standard message of each result code, and the French cause of an
// SQLite failure.
#include "platform/db/EngineCore.h"

#include <QDir>
#include <sqlite3.h>

EDBEngineError::EDBEngineError(int code) : Exception(dbe::StdMessage(code)), code_(code) {}

namespace dbe {

QString StdMessage(int code) {
  switch (code) {
    case DBIERR_NONE: return "Aucune erreur.";
    case DBIERR_BOF: return "Début de la table.";
    case DBIERR_EOF: return "Fin de la table.";
    case DBIERR_KEYDELETED: return "L'enregistrement ou la clé a été supprimé.";
    case DBIERR_KEYVIOL: return "Violation de clé.";
    case DBIERR_NOSUCHINDEX: return "L'index n'existe pas.";
    case DBIERR_NOSUCHTABLE: return "La table n'existe pas.";
    case DBIERR_NOSUCHFIELD: return "Champ introuvable.";
    case DBIERR_LOCKED: return "Enregistrement verrouillé par un autre utilisateur.";
    case DBIERR_FILEBUSY: return "La table est occupée.";
    case DBIERR_OUTOFRANGE: return "Valeur hors limites.";
    case DBIERR_RESTRUCTFAIL: return "La restructuration n'a pas pu reprendre toutes les fiches ; la table est inchangée.";
    case DBIERR_INVALIDPARAM: return "Paramètre incorrect.";
    case DBIERR_NOTINEDIT: return "La table n'est pas en modification ni en ajout.";
    case DBIERR_READONLY: return "La table est en lecture seule.";
    case DBIERR_OSERROR: return "Erreur du système.";
    case DBIERR_NOTABLE: return "Ce n'est pas un fichier de table (format inconnu ou endommagé).";
    case DBIERR_INDEXOUTOFDATE: return "L'index n'est pas à jour.";
    case DBIERR_SQLERROR: return "Erreur SQL.";
    case DBIERR_TABLEEXISTS: return "La table existe déjà.";
    case DBIERR_ROLLEDBACK: return "La transaction ne s'est pas terminée comme demandé.";
    default: return QString("Erreur %1 du moteur de tables.").arg(code);
  }
}

void Raise(int code, const QString& detail) {
  QString msg = StdMessage(code);
  if (!detail.isEmpty()) msg += "\n" + detail;
  throw EDBEngineError(code, msg);
}

QString TableDetail(const QString& path) { return "Table : " + QDir::toNativeSeparators(path); }

QString FrenchCause(int rc) {
  // The operator reads French: the failures a file can meet get a French cause.
  switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return "Le fichier est utilisé par un autre programme.";
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT: return "Le fichier est endommagé ou n'est pas une table.";
    case SQLITE_READONLY: return "Le fichier ou son dossier ne peut pas être écrit.";
    case SQLITE_FULL: return "Le disque est plein.";
    case SQLITE_IOERR: return "Erreur de lecture ou d'écriture sur le disque.";
    case SQLITE_CANTOPEN: return "Le fichier ne peut pas être ouvert.";
    case SQLITE_PERM: return "Accès au fichier refusé.";
    default: return {};
  }
}

}  // namespace dbe
