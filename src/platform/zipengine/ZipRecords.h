// Command and callback records shared by the zip component and the two zip libraries.
// Field order and the widths of the non-pointer fields follow the records the component has always
// handed to its libraries; pointers (and handles) are 8 bytes here, so offsets differ from the
// 32-bit layout and are pinned below. Texts are zero-terminated UTF-8.
#pragma once
#include <cstddef>
#include <cstdint>

namespace ziprec {

constexpr int32_t kTrue = -1;
constexpr int32_t kFalse = 0;
inline int32_t Flag(bool b) { return b ? kTrue : kFalse; }

struct CallbackRecord;
// One argument, 32-bit result: 0 go on, -1 cancel.
using ZipCallback = int32_t (*)(CallbackRecord*);

// Action codes of the callback.
enum CallbackAction : int32_t {
  cbNone = 0,
  cbNewFile = 1,          // text: name, Arg2: size
  cbProgress = 2,         // Arg2: bytes done since the last report
  cbEndOfBatch = 3,
  cbMessage = 4,          // Arg1: error code, text: message
  cbTotalFiles = 5,       // Arg2: count
  cbTotalSize = 6,        // Arg2: bytes
  cbNewName = 7,          // text: name; answer Arg1 1 with the new name in text
  cbPassword = 8,         // Arg1 bit 0: for an add; Arg2: repeat count; text: file
  cbCRCError = 9,         // Arg1: found CRC, Arg2: expected CRC; answer Arg1 0/1/2
  cbOverwrite = 10,       // Arg1: bit 16 older, low 16 bits entry index; Arg2 low byte: default
  cbSkipped = 11,         // Arg1: error, Arg2 low byte: skip type + 1
  cbFileComment = 12,
  cbStreamSize = 13,      // Arg2: size wanted; answer Arg2 address of the memory
};

struct CallbackRecord {
  void* Handle;            // not read
  void* Caller;            // the component that issued the command
  int32_t Version;         // not read
  int32_t IsOperationZip;  // password request: from an add
  int32_t ActionCode;
  int32_t Arg1;            // error code, flags, answer flag
  int64_t Arg2;            // size, count, disk index; an address in action 13, hence pointer-wide
  char Text[512];          // file name or message, zero-terminated
};
static_assert(offsetof(CallbackRecord, Handle) == 0);
static_assert(offsetof(CallbackRecord, Caller) == 8);
static_assert(offsetof(CallbackRecord, Version) == 16);
static_assert(offsetof(CallbackRecord, IsOperationZip) == 20);
static_assert(offsetof(CallbackRecord, ActionCode) == 24);
static_assert(offsetof(CallbackRecord, Arg1) == 28);
static_assert(offsetof(CallbackRecord, Arg2) == 32);
static_assert(offsetof(CallbackRecord, Text) == 40);
static_assert(sizeof(CallbackRecord) == 552);
// Where the library leaves an entry's current comment for action 12.
constexpr size_t kCommentOffsetInText = 256;

struct AddFileSpec {
  const char* FileSpec;    // the file pattern without prefix and password part
  int32_t Reserved1;
  int32_t Reserved2;
  const char* Password;    // this line's password, or null
  int32_t Encrypt;         // -1/0, or 0xFFFF when the line carries a password part
  uint16_t Recurse;        // 0xFFFF or 0
  uint16_t Reserved3;
  int32_t Reserved4[3];
  const char* RootDir;     // full path, or null
  int32_t Reserved5[16];
};
static_assert(offsetof(AddFileSpec, FileSpec) == 0);
static_assert(offsetof(AddFileSpec, Reserved1) == 8);
static_assert(offsetof(AddFileSpec, Reserved2) == 12);
static_assert(offsetof(AddFileSpec, Password) == 16);
static_assert(offsetof(AddFileSpec, Encrypt) == 24);
static_assert(offsetof(AddFileSpec, Recurse) == 28);
static_assert(offsetof(AddFileSpec, Reserved3) == 30);
static_assert(offsetof(AddFileSpec, Reserved4) == 32);
static_assert(offsetof(AddFileSpec, RootDir) == 48);
static_assert(offsetof(AddFileSpec, Reserved5) == 56);
static_assert(sizeof(AddFileSpec) == 120);

struct ZipParms {
  void* Handle;                 // window, or null when unattended
  void* Caller;                 // returned in every callback record
  int32_t Version;
  ZipCallback Callback;
  int32_t fTraceEnabled;
  const char* PZipPassword;     // at most 81 characters, or null
  const char* PZipStoreSuffixes;  // ".gif:.png:...", or null
  int32_t fEncrypt;
  int32_t fSystem;              // hidden files too
  int32_t fVolume;
  int32_t fExtra;
  int32_t fNoDirEntries;        // no entries for folders
  int32_t fDate;                // only files from Date on
  int32_t fVerbose;
  int32_t fQuiet;               // -1
  int32_t fLevel;
  int32_t fComprSpecial;
  int32_t fCRLF_LF;
  int32_t fJunkDir;             // store names without their folders
  uint16_t fRecurse;            // 0xFFFF or 0
  uint16_t fGrow;
  int32_t fForce;               // -1
  int32_t fForceDOS;
  int32_t fMove;
  int32_t fDeleteEntries;
  int32_t fUpdate;
  int32_t fFreshen;
  int32_t fJunkSFX;
  int32_t fLatestTime;          // archive gets the time of its newest entry
  char Date[8];                 // "mm dd yy", no terminator
  int32_t Argc;                 // number of AddFileSpec records
  const char* PZipFN;           // the archive the library writes
  const char* PTempDir;
  const char* PArchComment;
  uint16_t fArchiveFilesOnly;
  uint16_t fResetArchiveBit;
  AddFileSpec* FDs;
  int32_t fSeparateDirs;        // 0
  int32_t ExcludeCount;
  const char* const* ExcludeSpecs;
  int32_t Reserved1[8];
  int32_t fHowToMove;           // moved files go to the trash
  uint16_t WantedCodePage;      // 2: OEM
  uint8_t Reserved2[18];
  int32_t fSeven;               // 7
};
static_assert(offsetof(ZipParms, Handle) == 0);
static_assert(offsetof(ZipParms, Caller) == 8);
static_assert(offsetof(ZipParms, Version) == 16);
static_assert(offsetof(ZipParms, Callback) == 24);
static_assert(offsetof(ZipParms, fTraceEnabled) == 32);
static_assert(offsetof(ZipParms, PZipPassword) == 40);
static_assert(offsetof(ZipParms, PZipStoreSuffixes) == 48);
static_assert(offsetof(ZipParms, fEncrypt) == 56);
static_assert(offsetof(ZipParms, fSystem) == 60);
static_assert(offsetof(ZipParms, fVolume) == 64);
static_assert(offsetof(ZipParms, fExtra) == 68);
static_assert(offsetof(ZipParms, fNoDirEntries) == 72);
static_assert(offsetof(ZipParms, fDate) == 76);
static_assert(offsetof(ZipParms, fVerbose) == 80);
static_assert(offsetof(ZipParms, fQuiet) == 84);
static_assert(offsetof(ZipParms, fLevel) == 88);
static_assert(offsetof(ZipParms, fComprSpecial) == 92);
static_assert(offsetof(ZipParms, fCRLF_LF) == 96);
static_assert(offsetof(ZipParms, fJunkDir) == 100);
static_assert(offsetof(ZipParms, fRecurse) == 104);
static_assert(offsetof(ZipParms, fGrow) == 106);
static_assert(offsetof(ZipParms, fForce) == 108);
static_assert(offsetof(ZipParms, fForceDOS) == 112);
static_assert(offsetof(ZipParms, fMove) == 116);
static_assert(offsetof(ZipParms, fDeleteEntries) == 120);
static_assert(offsetof(ZipParms, fUpdate) == 124);
static_assert(offsetof(ZipParms, fFreshen) == 128);
static_assert(offsetof(ZipParms, fJunkSFX) == 132);
static_assert(offsetof(ZipParms, fLatestTime) == 136);
static_assert(offsetof(ZipParms, Date) == 140);
static_assert(offsetof(ZipParms, Argc) == 148);
static_assert(offsetof(ZipParms, PZipFN) == 152);
static_assert(offsetof(ZipParms, PTempDir) == 160);
static_assert(offsetof(ZipParms, PArchComment) == 168);
static_assert(offsetof(ZipParms, fArchiveFilesOnly) == 176);
static_assert(offsetof(ZipParms, fResetArchiveBit) == 178);
static_assert(offsetof(ZipParms, FDs) == 184);
static_assert(offsetof(ZipParms, fSeparateDirs) == 192);
static_assert(offsetof(ZipParms, ExcludeCount) == 196);
static_assert(offsetof(ZipParms, ExcludeSpecs) == 200);
static_assert(offsetof(ZipParms, Reserved1) == 208);
static_assert(offsetof(ZipParms, fHowToMove) == 240);
static_assert(offsetof(ZipParms, WantedCodePage) == 244);
static_assert(offsetof(ZipParms, Reserved2) == 246);
static_assert(offsetof(ZipParms, fSeven) == 264);
static_assert(sizeof(ZipParms) == 272);

struct ExtractFileSpec {
  const char* FileSpec;    // one whole line of the file patterns
  int32_t Reserved[17];
};
static_assert(offsetof(ExtractFileSpec, FileSpec) == 0);
static_assert(offsetof(ExtractFileSpec, Reserved) == 8);
static_assert(sizeof(ExtractFileSpec) == 80);

struct UnzipParms {
  void* Handle;
  void* Caller;
  int32_t Version;
  ZipCallback Callback;
  int32_t fTraceEnabled;
  int32_t fPromptToOverwrite;   // 0
  const char* PZipPassword;     // never null
  int32_t fTest;
  int32_t fComments;            // 0
  int32_t fConvert;             // 0
  int32_t fQuiet;               // -1
  int32_t fVerbose;
  int32_t fUpdate;
  int32_t fFreshen;
  int32_t fDirectories;         // keep the entries' folders
  int32_t fOverwrite;
  int32_t Argc;                 // 0: every entry
  const char* PZipFN;
  ExtractFileSpec* FSpecs;
  uint8_t Reserved1[28];
  int32_t fPwdReqCount;
  const char* PExtractDir;      // null: the current folder
  uint8_t Reserved2[32];
  int32_t fSeven;               // 7
};
static_assert(offsetof(UnzipParms, Handle) == 0);
static_assert(offsetof(UnzipParms, Caller) == 8);
static_assert(offsetof(UnzipParms, Version) == 16);
static_assert(offsetof(UnzipParms, Callback) == 24);
static_assert(offsetof(UnzipParms, fTraceEnabled) == 32);
static_assert(offsetof(UnzipParms, fPromptToOverwrite) == 36);
static_assert(offsetof(UnzipParms, PZipPassword) == 40);
static_assert(offsetof(UnzipParms, fTest) == 48);
static_assert(offsetof(UnzipParms, fComments) == 52);
static_assert(offsetof(UnzipParms, fConvert) == 56);
static_assert(offsetof(UnzipParms, fQuiet) == 60);
static_assert(offsetof(UnzipParms, fVerbose) == 64);
static_assert(offsetof(UnzipParms, fUpdate) == 68);
static_assert(offsetof(UnzipParms, fFreshen) == 72);
static_assert(offsetof(UnzipParms, fDirectories) == 76);
static_assert(offsetof(UnzipParms, fOverwrite) == 80);
static_assert(offsetof(UnzipParms, Argc) == 84);
static_assert(offsetof(UnzipParms, PZipFN) == 88);
static_assert(offsetof(UnzipParms, FSpecs) == 96);
static_assert(offsetof(UnzipParms, Reserved1) == 104);
static_assert(offsetof(UnzipParms, fPwdReqCount) == 132);
static_assert(offsetof(UnzipParms, PExtractDir) == 136);
static_assert(offsetof(UnzipParms, Reserved2) == 144);
static_assert(offsetof(UnzipParms, fSeven) == 176);
static_assert(sizeof(UnzipParms) == 184);

// Entry points of the two libraries.
extern "C" {
using ZipLibExecFn = int32_t (*)(ZipParms*);
using GetZipLibVersionFn = int32_t (*)();
using UnzLibExecFn = int32_t (*)(UnzipParms*);
using GetUnzLibVersionFn = int32_t (*)();
}

// Skip types sent in action 11 (the low byte of Arg2 is the type + 1).
enum SkipType : int32_t {
  skOnFreshen = 0, skNoOverwrite, skFileExists, skBadPassword, skNoEncryptionDLL,
  skCompressionUnknown, skUnknownZipHost, skZipFileFormatWrong, skGeneralExtractError
};

}  // namespace ziprec
