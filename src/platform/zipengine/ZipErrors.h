// libzip's failures in French, for the messages both libraries hand to the component: the
// operator reads them (a full disk, a write refused) in the backup's error box.
#pragma once
#include <cerrno>
#include <string>
#include <zip.h>

namespace ziperr {

inline const char* SystemCause(int e) {
  switch (e) {
    case ENOSPC: return "plus de place sur le disque";
    case EFBIG: return "fichier trop grand";
    case EACCES:
    case EPERM: return "accès refusé";
    case EROFS: return "disque protégé en écriture";
    case EDQUOT: return "quota du disque dépassé";
    case EIO: return "erreur d'entrée/sortie";
    default: return nullptr;
  }
}

inline std::string French(zip_error_t* ze) {
  if (zip_error_system_type(ze) == ZIP_ET_SYS)
    if (const char* cause = SystemCause(zip_error_code_system(ze))) return cause;
  switch (zip_error_code_zip(ze)) {
    case ZIP_ER_WRITE: return "erreur d'écriture";
    case ZIP_ER_READ: return "erreur de lecture";
    case ZIP_ER_NOENT: return "fichier introuvable";
    case ZIP_ER_OPEN: return "fichier impossible à ouvrir";
    case ZIP_ER_NOZIP: return "ce n'est pas une archive zip";
    case ZIP_ER_CRC: return "erreur de CRC";
    case ZIP_ER_MEMORY: return "mémoire insuffisante";
    case ZIP_ER_TMPOPEN: return "fichier temporaire impossible à créer";
    case ZIP_ER_RENAME: return "renommage impossible";
    case ZIP_ER_CLOSE: return "fermeture impossible";
    case ZIP_ER_INCONS: return "archive incohérente";
    default: return zip_error_strerror(ze);
  }
}

inline std::string French(zip_t* za) { return French(zip_get_error(za)); }

}  // namespace ziperr
