// The component's French string table, its exceptions and the routines that report.
#include <map>

#include "zip/ZipArch.h"

namespace {

const std::map<int, QString>& Table() {
  static const std::map<int, QString> t = {
      {10101, "Erreur fatale dans ZipLib.DLL: exception d'arrêt"},
      {10102, "Erreur - Aucune archive ZIP n'a été spécifiée!"},
      {10103, "Mémoire insuffisante"},
      {10104, "Erreur - mots de passe différents\nMot de passe ignoré"},
      {10105, "Copie en cours: "},
      {10150, "Erreur - aucun mot de passe donné pour l'ajout de fichiers"},
      {10151, "Erreur - aucun mot de passe donné pour l'extraction de fichiers"},
      {10152, "OK"},
      {10153, "Annuler"},
      {10154, "Mot de passe"},
      {10155, "Entrez le mot de passe :"},
      {10156, "Confirmez le mot de passe :"},
      {10157, "Annuler tout"},
      {10158, "Abandonner"},
      {10186, "CopyZippedFiles n'est pas mis en application pour un dossier enjambé de fermeture éclair."},
      {10201, "Erreur de positionnement lors de la lecture de l'archive ZIP"},
      {10202, "Erreur de type inconnu intervenue dans la méthode List()"},
      {10203, "Avertissement - La structure de l'archive est erronnée!"},
      {10204, "Avertissement - Symbols incorrects à la fin du fichier ZIP!"},
      {10301, "Erreur - aucun fichier à compresser!"},
      {10302, "Action sans surveillance impossible à accomplir sans mot de passe"},
      {10303, "Les fonctions de rafraîchissement (AddFreshen) et de mise à jour (AddUpdate) ne sont pas possibles sur une archive fragmentée"},
      {10401, "Erreur - Aucun fichier n'est sélectionné pour effacement"},
      {10402, "Des dossiers d'effacement des archives n'est pas mis en application pour un dossier enjambé de fermeture éclair."},
      {10501, "Erreur fatale dans UnzLib.DLL: exception d'arrêt"},
      {10502, "Avertissement - Extraction effectuée sans surveillance: il est possible que certains fichiers n'aient pas été extraits"},
      {10601, "ZIPLIB chargée"},
      {10602, "ZipLibExec : fonction introuvable dans ZIPLIB.DLL!"},
      {10603, "GetZipLibVersion : fonction introuvable dans ZIPLIB.DLL!"},
      {10604, "ZIPLIB.DLL : librairie introuvable!"},
      {10605, "A tenté de charger vieux ZipLib de "},
      {10701, "UNZLIB chargée!"},
      {10702, "UnzLibExec : fonction introuvable dans UNZLIB.DLL!"},
      {10703, "GetUnzLibVersion : fonction introuvable dans UNZLIB.DLL!"},
      {10704, "UNZLIB.DLL : librairie introuvable!"},
      {10705, "A tenté de charger vieux UnzLib de "},
      {10801, "Erreur - La taille totale des 3 propriétés de type texte dépasse 245 octets!"},
      {10802, "Erreur - SFXSTUB.BIN : exécutable introuvable!"},
      {10803, "Erreur: le fichier d'entrée n'a pas un format ZIP valide"},
      {10804, "SFX ne fonctionne pas soutenu"},
      {10901, "Erreur - aucun fichier d'extension .EXE n'a été spécifié"},
      {10902, "Erreur: le fichier d'entrée n'est pas un fichier exécutable .EXE"},
      {10903, "Erreur: Impossible de déterminer le type de l'archive SFX"},
      {11001, "Le fichier spécifié en entrée n'existe pas"},
      {11002, "Le fichier Zip n'a pas pu être ouvert"},
      {11003, "Lecteur non valide: %s"},
      {11004, "Lecteur non défini: %s"},
      {11005, "Le nom de volume n'a pas pu être attribué"},
      {11006, "Mémoire insuffisante pour afficher la boîte de dialogue (MsgBox)"},
      {11007, "Opération annulée par l'utilisateur"},
      {11008, "Erreur de positionnement dans le fichier d'entrée"},
      {11009, "Erreur de création du fichier de sortie"},
      {11010, "Erreur d'écriture sur le fichier de sortie"},
      {11011, "Erreur de lecture de la fin du répertoire central"},
      {11012, "Erreur de lecture d'un en-tête local"},
      {11013, "Erreur de lecture d'un en-tête central"},
      {11014, "La signature d'un en-tête local est erronnée"},
      {11015, "La signature d'un en-tête central est erronée"},
      {11016, "Erreur de lecture d'un nom de fichier local"},
      {11017, "Erreur de lecture d'un nom de fichier central"},
      {11018, "Erreur de lecture d'un champ local complémentaire"},
      {11019, "Erreur de lecture d'un champ central complémentaire"},
      {11020, "Erreur d'accés en lecture/écriture de la zone du descripteur de données"},
      {11021, "Erreur de lecture des données compressées"},
      {11022, "Erreur de lecture de commentaire de fichier"},
      {11023, "Erreur d'écriture de commentaire d'archive"},
      {11024, "Erreur inattendue dans les fonctions ReadSpan() ou WriteSpan()"},
      {11025, "L'écriture d'archive sans surveillance sur plusieurs disques n'est pas supportée"},
      {11026, "En-tête local introuvable dans la structure interne de l'archive"},
      {11027, "Le fichier temporaire n'a pu être créé"},
      {11028, "Erreur d'écriture d'un en-tête local"},
      {11029, "Erreur d'écriture de l'en-tête central"},
      {11030, "Erreur lors de l'écriture de la fin du répertoire central"},
      {11031, "Erreur de lecture de la signature locale étendue"},
      {11032, "Espace disque insuffisant sur le disque sélectionné"},
      {11033, "Insérer le dernier disque"},
      {11034, "Insérer le volume n°%.1d sur %.1d"},
      {11035, "\ndans le lecteur: %s"},
      {11036, "L'archive sélectionnée n'a pas un format ZIP correct"},
      {11037, "Ceci est le premier disque d'une sauvegarde,\ninsérer le dernier disque"},
      {11038, "Ceci est le %dème disque d'une sauvegarde,\ninsérer le dernier disque"},
      {11039, "Un fichier %s est déjà présent.\nEtes-vous sûr de vouloir écraser ce fichier"},
      {11040, "ATTENTION: Le disque actuellement inséré est le disque n°%d!!!\nEtes-vous sûr de vouloir écraser son contenu"},
      {11041, "Erreur - Les archives auto-extractibles (.exe) ne peuvent être fragmentées"},
      {11042, "Erreur de copie du nom de fichier de la structure CEH"},
      {11043, "Erreur de positionnement lors de l'omission de la structure EOC"},
      {11044, "Erreur de copie du commentaire de l'archive ZIP"},
      {11045, "Ceci est le premier fichier d'une sauvegarde,\nsélectionner le dernier fichier"},
      {11048, "Le Traverser de disque n'a pas soutenu"},
  };
  return t;
}

QString FormatNumber(const QString& fmt, int n) { return QString::asprintf(fmt.toUtf8().constData(), n); }
QString FormatText(const QString& fmt, const QString& s) {
  return QString::asprintf(fmt.toUtf8().constData(), s.toUtf8().constData());
}

}  // namespace

QString ZipStringTable(int Ident) {
  auto it = Table().find(Ident);
  return it == Table().end() ? QString() : it->second;
}

QString MissingStringText(int Ident) {
  if (Ident == 10605 || Ident == 10705) return "Old Dll from ";
  if (Ident == 10804) return "SFX not supported";
  if (Ident == 11048) return "Span not supported";
  return QString("ZipMsgXX.res is probably not linked to the executable\nMissing String ID is: %1").arg(Ident);
}

EZipArchiver EZipArchiver::CreateFromId(int Ident, bool Display) {
  QString t = ZipStringTable(Ident);
  if (t.isEmpty())
    t = QString("ZipMsgXX.res is probably not linked to the executable\nMissing String ID is: %1").arg(Ident);
  return EZipArchiver(Ident, Display, t);
}

EZipArchiver EZipArchiver::CreateFromIdNumber(int Ident, int Number) {
  const QString t = ZipStringTable(Ident);
  return EZipArchiver(Ident, true, t.isEmpty() ? MissingStringText(Ident) : FormatNumber(t, Number));
}

EZipArchiver EZipArchiver::CreateFromIdText(int Ident, const QString& Text) {
  const QString t = ZipStringTable(Ident);
  return EZipArchiver(Ident, true, t.isEmpty() ? MissingStringText(Ident) : FormatText(t, Text));
}

QString TZipArchiver::LoadZipStr(int Ident, const QString& Default) {
  const QString t = ZipStringTable(Ident);
  return t.isEmpty() ? Default : t;
}

void TZipArchiver::ShowZipMessage(int Ident, const QString& Extra) {
  QString t = ZipStringTable(Ident);
  if (t.isEmpty()) t = MissingStringText(Ident);
  t += Extra;
  Message = t;
  ErrCode = Ident;
  if (!Unattended) Dialogs().MessageBox(t, MsgDlgType::Custom, mbOK);
  if (OnMessage) OnMessage(this, 0, t);
}

void TZipArchiver::TraceMessage(const QString& Text) {
  if (Trace && OnMessage) OnMessage(this, 0, Text);
}

void TZipArchiver::ShowExceptionError(const EZipArchiver& E) {
  if (E.Display && !Unattended) Dialogs().MessageBox(E.Message(), MsgDlgType::Custom, mbOK);
  ErrCode = E.Ident;
  Message = E.Message();
  if (OnMessage) OnMessage(this, 0, E.Message());
}
