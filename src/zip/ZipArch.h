// TZipArchiver: writes and reads zip archives through the two zip libraries loaded at run time,
// lists the central directory itself, spans archives across disks and makes self-extracting
// programs. Failures are reported in French through one string table.
#pragma once
#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QDialog>
#include <QFile>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

#include "platform/sys/Errors.h"
#include "platform/ui/Dialogs.h"
#include "platform/zipengine/ZipRecords.h"

class QLabel;
class QLineEdit;
class QPushButton;

// A set of enumeration members; a member's bit is its ordinal.
template <typename E>
class TSet {
 public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> l) {
    for (E e : l) bits_ |= Bit(e);
  }
  static constexpr TSet FromBits(uint32_t b) { TSet s; s.bits_ = b; return s; }
  constexpr bool Contains(E e) const { return (bits_ & Bit(e)) != 0; }
  constexpr TSet& operator<<(E e) { bits_ |= Bit(e); return *this; }
  constexpr TSet& operator>>(E e) { bits_ &= ~Bit(e); return *this; }
  constexpr TSet operator+(TSet o) const { return FromBits(bits_ | o.bits_); }
  constexpr TSet operator-(TSet o) const { return FromBits(bits_ & ~o.bits_); }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr uint32_t Bits() const { return bits_; }
  constexpr bool operator==(const TSet&) const = default;
 private:
  static constexpr uint32_t Bit(E e) { return 1u << static_cast<unsigned>(e); }
  uint32_t bits_ = 0;
};

enum ProgressType { NewFile, ProgressUpdate, EndOfBatch, TotalFiles2Process, TotalSize2Process };
enum AddOptsEnum {
  AddDirNames, AddRecurseDirs, AddMove, AddFreshen, AddUpdate, AddZipTime, AddForceDOS, AddHiddenFiles,
  AddArchiveOnly, AddResetArchive, AddEncrypt, AddSeparateDirs, AddVolume, AddFromDate, AddDiskSpan,
  AddDiskSpanErase
};
using AddOpts = TSet<AddOptsEnum>;
enum AddStoreSuffixEnum {
  assGIF, assPNG, assZ, assZIP, assZOO, assARC, assLZH, assARJ, assTAZ, assTGZ, assLHA, assRAR, assACE,
  assCAB, assGZ, assGZIP, assJAR, assEXE
};
using AddStoreExts = TSet<AddStoreSuffixEnum>;
enum ExtrOptsEnum { ExtrDirNames, ExtrOverWrite, ExtrFreshen, ExtrUpdate, ExtrTest };
using ExtrOpts = TSet<ExtrOptsEnum>;
enum SFXOptsEnum { SFXAskCmdLine, SFXAskFiles, SFXAutoRun, SFXHideOverWriteBox, SFXCheckSize, SFXNoSuccessMsg };
using SFXOpts = TSet<SFXOptsEnum>;
enum OvrOpts { OvrConfirm, OvrAlways, OvrNever };
enum CodePageOpts { cpAuto, cpNone, cpOEM };
enum DeleteOpts { htdFinal, htdAllowUndo };
enum UnZipSkipTypes {
  stOnFreshen, stNoOverwrite, stFileExists, stBadPassword, stNoEncryptionDLL, stCompressionUnknown,
  stUnknownZipHost, stZipFileFormatWrong, stGeneralExtractError
};
enum ZipDiskStatusEnum { zdsEmpty, zdsHasFiles, zdsPreviousDisk, zdsSameFileName, zdsNotEnoughSpace };
using TZipDiskStatus = TSet<ZipDiskStatusEnum>;
enum TZipDiskAction { zdaOk, zdaErase, zdaReject, zdaCancel };
enum TPasswordButton { pwbOk, pwbCancel, pwbCancelAll, pwbAbort };
using TPasswordButtons = TSet<TPasswordButton>;

// Extensions of the stored suffixes, in the order of AddStoreSuffixEnum.
extern const char* const kStoreSuffixExt[18];

// One entry of the archive's central directory.
struct ZipDirEntry {
  uint8_t MadeByVersion = 0;
  uint8_t HostSystem = 0;
  uint16_t VersionNeeded = 0;
  uint16_t Flag = 0;
  uint16_t CompressionMethod = 0;
  uint32_t DateTime = 0;  // time in the low half
  uint32_t CRC32 = 0;
  uint32_t CompressedSize = 0;
  uint32_t UncompressedSize = 0;
  uint16_t FileNameLength = 0;
  uint16_t ExtraFieldLength = 0;
  uint16_t FileCommentLen = 0;
  uint16_t StartOnDisk = 0;
  uint16_t IntFileAttrib = 0;
  uint32_t ExtFileAttrib = 0;
  uint32_t RelOffLocalHdr = 0;
  QString FileName;
  QString FileComment;
  bool Encrypted = false;
  QByteArray ExtraData;  // one byte longer than the field; empty when there is none
  // The sizes and the local header's offset as they are: taken from the zip64 extra field where
  // the plain field above is full (all ones), else equal to it.
  uint64_t UncompressedSize64 = 0;
  uint64_t CompressedSize64 = 0;
  uint64_t RelOffLocalHdr64 = 0;
};

using TNotifyEvent = std::function<void(QObject* Sender)>;
using TProgressEvent = std::function<void(QObject* Sender, ProgressType ProgrType, const QString& Filename, qint64 FileSize)>;
using TMessageEvent = std::function<void(QObject* Sender, int ErrCode, const QString& Message)>;
using TSetNewNameEvent = std::function<void(QObject* Sender, QString& OldFileName, bool& IsChanged)>;
using TNewNameEvent = std::function<void(QObject* Sender, int SeqNo, const ZipDirEntry& ZipEntry)>;
using TPasswordErrorEvent = std::function<void(QObject* Sender, bool IsZipAction, QString& NewPassword,
                                               const QString& ForFile, unsigned& RepeatCount, TPasswordButton& Action)>;
using TCRC32ErrorEvent = std::function<void(QObject* Sender, const QString& ForFile, unsigned FoundCRC,
                                            unsigned ExpectedCRC, bool& DoExtract)>;
using TExtractOverwriteEvent = std::function<void(QObject* Sender, const QString& ForFile, bool IsOlder,
                                                  bool& DoOverwrite, int DirIndex)>;
using TExtractSkippedEvent = std::function<void(QObject* Sender, const QString& ForFile, UnZipSkipTypes SkipType, int ExtError)>;
using TCopyZipOverwriteEvent = std::function<void(QObject* Sender, const QString& ForFile, bool& DoOverwrite)>;
using TGetNextDiskEvent = std::function<void(QObject* Sender, int DiskSeqNo, int DiskTotal, const QString& Drive,
                                             bool& AbortAction)>;
using TStatusDiskEvent = std::function<void(QObject* Sender, int PreviousDisk, const QString& PreviousFile,
                                            TZipDiskStatus Status, TZipDiskAction& Action)>;
using TFileCommentEvent = std::function<void(QObject* Sender, const QString& ForFile, QString& FileComment, bool& IsChanged)>;

// The component's exception: a string-table identifier and whether its text is shown in a box.
class EZipArchiver : public Exception {
 public:
  EZipArchiver(int ident, bool display, const QString& text) : Exception(text), Ident(ident), Display(display) {}
  static EZipArchiver CreateFromId(int Ident, bool Display);
  static EZipArchiver CreateFromIdNumber(int Ident, int Number);
  static EZipArchiver CreateFromIdText(int Ident, const QString& Text);
  int Ident;
  bool Display;
};

// The French string table; empty when an identifier has no text.
QString ZipStringTable(int Ident);
QString MissingStringText(int Ident);

// One record of a spanned archive's entry list.
struct SpanDataEntry {
  uint16_t DiskStart = 0;
  uint32_t RelOffLocal = 0;
  uint16_t FileNameLen = 0;
  char FileName[256] = {};
  uint32_t ComprSize = 0;
  // Where the entry's local header was found in the archive being copied.
  int64_t SourceOffset = -1;
  int SourceDisk = -1;
};

class TMZipDataList {
 public:
  explicit TMZipDataList(int Count);
  ~TMZipDataList();
  int Count() const { return static_cast<int>(items_.size()); }
  SpanDataEntry& Items(int Index);
  int IndexOf(const QString& Name) const;  // EZipArchiver 11026 when no record carries the name
  // The record whose entry starts at this place of the archive being copied.
  int IndexOfSource(int Disk, int64_t Offset) const;
 private:
  std::vector<SpanDataEntry*> items_;
};

// Memory the extract library may ask for (callback action 13).
class TZipStream {
 public:
  bool SetSize(qint64 n);
  char* Memory() { return data_.isEmpty() ? nullptr : data_.data(); }
  qint64 Size() const { return data_.size(); }
  void SetPointer(char* p, qint64 size);
 private:
  QByteArray data_;
};

// Path helpers of the component.
QString AppendSlash(const QString& Folder);
QString SetSlash(const QString& Name);
QString PathConcat(const QString& Folder, const QString& Name);
QString BufferToName(const char* Buffer, int Length);
int FormatFloppyDrive(void* Window, const QString& Drive);

class TZipArchiver : public QObject {
 public:
  explicit TZipArchiver(QObject* Owner = nullptr);
  ~TZipArchiver() override;

  // ---- published properties ----
  bool Verbose = false;
  bool Trace = false;
  int AddCompLevel = 9;
  AddOpts AddOptions;
  QDate AddFrom;
  QString ExtrBaseDir;
  ExtrOpts ExtrOptions;
  QStringList FSpecArgs;
  bool Unattended = false;
  QString Password;
  QString TempDir;
  CodePageOpts CodePage = cpAuto;
  DeleteOpts HowToDelete = htdAllowUndo;
  AddStoreExts AddStoreSuffixes;
  QStringList FSpecArgsExcl;
  bool UseDirOnlyEntries = false;
  QString RootDir;
  bool ConfirmErase = true;
  bool FormatErase = false;
  int KeepFreeOnDisk1 = 0;
  int MaxVolumeSize = 0;
  int MinFreeVolumeSize = 65536;
  QString SFXCaption = "Self-extracting Archive";
  QString SFXCommandLine;
  QString SFXDefaultDir;
  QString SFXMessage;
  SFXOpts SFXOptions{SFXCheckSize};
  OvrOpts SFXOverWriteMode = OvrConfirm;
  QString SFXPath = "SfxStub.bin";

  QString ZipFileName() const { return FZipFileName; }
  void SetZipFileName(const QString& Value);  // lists the archive
  QString DLLDirectory() const { return FDLLDirectory; }
  void SetDLLDirectory(const QString& Value);
  int MinZipLibVers() const { return FMinZipLibVers; }
  void SetMinZipLibVers(int Value);
  int MinUnzLibVers() const { return FMinUnzLibVers; }
  void SetMinUnzLibVers(int Value);
  unsigned PasswordReqCount() const { return FPasswordReqCount; }
  void SetPasswordReqCount(unsigned Value);
  QString VersionInfo() const { return "1.70"; }
  void SetVersionInfo(const QString&) {}
  // The icon file (.ico) that replaces the stub's icon; empty: none.
  const QByteArray& SFXIcon() const { return FSFXIcon; }
  void SetSFXIcon(const QByteArray& Icon) { FSFXIcon = Icon; }

  // ---- events ----
  TNotifyEvent OnDirUpdate;
  TProgressEvent OnProgress;
  TMessageEvent OnMessage;
  TSetNewNameEvent OnSetNewName;
  TNewNameEvent OnNewName;
  TCRC32ErrorEvent OnCRC32Error;
  TPasswordErrorEvent OnPasswordError;
  TExtractOverwriteEvent OnExtractOverwrite;
  TExtractSkippedEvent OnExtractSkipped;
  TCopyZipOverwriteEvent OnCopyZipOverwrite;
  TFileCommentEvent OnFileComment;
  TGetNextDiskEvent OnGetNextDisk;
  TStatusDiskEvent OnStatusDisk;

  // ---- run-time state ----
  void* Handle = nullptr;
  int ErrCode = 0;
  int FullErrCode = 0;
  QString Message;
  int SuccessCount = 0;
  bool Cancel = false;
  std::vector<ZipDirEntry> DirEntries;
  QByteArray ArchiveComment;
  qint64 DataOffset = 0;
  qint64 CentralDirOffset = 0;
  qint64 EndRecordOffset = 0;
  int LastDiskNumber = 0;
  int CurrentDiskNumber = 0;
  bool Spanned = false;
  bool OffsetMismatch = false;
  QString Drive;
  QString VolumeLabel;
  quint32 VolumeSerial = 0;
  qint64 DiskFree = -1;
  qint64 DiskSize = -1;
  qint64 FileSize = 0;
  qint64 ZipDataEnd = 0;
  int HostVersion = 0;
  int HostSystem = 0;
  TZipStream ZipStream;
  bool CreatingSFX = false;
  // spanning
  QString InFileName;
  QFile InFileHandle;
  QString OutFileName;
  QFile OutFileHandle;
  QDateTime DateStamp;
  qint64 ArchiveSize = 0;
  qint64 FreeOnDisk = 0;
  qint64 BytesOnDisk = 0;
  bool NewDisk = false;
  bool ShowProgress = false;
  TZipDiskAction LastDiskAnswer = zdaOk;

  // ---- operations ----
  void Add();
  void Extract();
  int EraseFile(const QString& FileName, DeleteOpts How);
  void List();
  int EntryCount() const { return FZipFileName.isEmpty() ? 0 : static_cast<int>(DirEntries.size()); }

  int LoadZipLib();
  int LoadUnzLib();
  void UnloadZipLib();
  void UnloadUnzLib();
  QString GetZipLibPath();
  QString GetUnzLibPath();

  void ShowZipMessage(int Ident, const QString& Extra);
  QString LoadZipStr(int Ident, const QString& Default);
  void TraceMessage(const QString& Text);
  void ShowExceptionError(const EZipArchiver& E);
  void StartWaitCursor();
  void StopWaitCursor();
  QString MakeTempFileName(const QString& Prefix = "zip", const QString& Extension = ".zip");
  int CopyBuffer(QFile& InFile, QFile& OutFile, qint64 Length);
  void WriteJoin(const char* Buffer, qint64 Length, int Ident);

  bool OpenEndRecord(unsigned char EndRecord[22], bool ShowErrors);
  bool CheckDrive();
  void ReadDiskSpace(int What);
  QString ConvertOEM(const QString& Name, bool ToOEM) const;
  void ClearDirEntries() { DirEntries.clear(); }

  int WriteSpan(const QString& InName, const QString& OutName);
  int ReadSpan(const QString& InName, QString& OutPath);
  int ReportSpanFailure();
  QFile& OpenDiskForRead(int N);
  int AskForDisk(bool ForWrite);
  bool CheckDiskLabel(int DriveType);
  void WriteSplit(const char* Buffer, qint64 Length, qint64 MinSize);
  void CopySplitData(char* Buffer, qint64 Length, int Ident);
  void CopyJoinData(char* Buffer, qint64 Length, int Ident);
  int ClearFloppy();
  void EraseFloopy(const QString& Folder);

  int MakeSelfExtracting();
  int ReplaceStubIcon(QFile& OutFile, qint64 StubSize);
  int WriteShiftedCentralDir(QFile& OutFile, const unsigned char EndRecord[22], qint64 Shift);

  // The password prompts, also used by the callback.
  TPasswordButton AskPassword(const QString& Title, const QString& Prompt, TPasswordButtons Buttons, QString& Result);
  QString GetAddPassword(TPasswordButton& Response);
  QString GetExtrPassword(TPasswordButton& Response);

  // Serves one call of a library (public for the libraries' entry point and for tests).
  int32_t Callback(ziprec::CallbackRecord* Rec);
  static int32_t ZipCallbackFn(ziprec::CallbackRecord* Rec);

  // The folder of the running program, where the libraries and the stub are looked for.
  static QString ProgramFolder();

 private:
  struct Library {
    void* handle = nullptr;
    void* exec = nullptr;
    void* version = nullptr;
    QString path;
  };
  int LoadLib(Library& lib, bool zip);
  void UnloadLib(Library& lib);
  QString LibPath(Library& lib, bool zip);
  int LoadForOperation(Library& lib, bool zip, bool& loadedHere);
  // The head both command records share: who asks, which library version, where to call back.
  template <class Parms>
  void FillRecordHead(Parms& p, int version) {
    p.Handle = Unattended ? nullptr : Handle;
    p.Caller = this;
    p.Version = version;
    p.Callback = &TZipArchiver::ZipCallbackFn;
    p.fTraceEnabled = ziprec::Flag(Trace);
  }
  int LibVersion(Library& lib);
  void ListGuarded(unsigned char EndRecord[22]);
  // The end record's fields, from the zip64 end record where the plain one is full.
  struct EndFields {
    int disk = 0, cdDisk = 0;
    quint64 total = 0, cdSize = 0, cdOffset = 0;
    qint64 cdEnd = 0;  // where the central directory ends in this file
  };
  EndFields ReadEndFields(const unsigned char EndRecord[22]);
  QString DecodeName(const QByteArray& raw, uint16_t flags) const;
  QString FileOf(const QString& name) const;  // file system path of a name with a drive letter
  QString PartName(int Disk) const;
  void CloseOut();
  void Report(int ident, const QString& text);

  QString FZipFileName;
  QString FDLLDirectory;
  int FMinZipLibVers = 170;
  int FMinUnzLibVers = 170;
  unsigned FPasswordReqCount = 1;
  QByteArray FSFXIcon;
  Library FZipLib;
  Library FUnzLib;
  bool FAddBusy = false;
  bool FExtractBusy = false;
  int FWaitCount = 0;
  int FSavedCursor = 0;
  bool FReadingSpan = false;
  quint64 FEndCdOffset = 0;  // the central directory's offset as the end records give it
};

// The password dialog of the component, built in code.
class TPasswordDlg : public QDialog {
 public:
  TPasswordDlg(QWidget* Owner, TPasswordButtons Buttons);
  QString ShowForm(const QString& Title, const QString& Prompt);
  ModalResult LastResult() const { return result_; }
  QLabel* Label1 = nullptr;
  QLineEdit* Edit1 = nullptr;
  std::vector<QPushButton*> Buttons;
 private:
  ModalResult result_ = ModalResult::None;
};
