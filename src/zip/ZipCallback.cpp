// The one routine both libraries call back while they work.
#include <algorithm>

#include "platform/ui/Cursor.h"
#include "zip/ZipArch.h"
#include "zip/ZipInternal.h"

using namespace ziprec;

int32_t TZipArchiver::ZipCallbackFn(CallbackRecord* Rec) {
  if (!Rec) return 0;
  auto* self = static_cast<TZipArchiver*>(Rec->Caller);
  if (!LiveComponents().count(self)) return 0;
  return self->Callback(Rec);
}

int32_t TZipArchiver::Callback(CallbackRecord* Rec) {
  Rec->Text[sizeof(Rec->Text) - 1] = 0;
  QString text = QString::fromUtf8(Rec->Text, static_cast<int>(qstrnlen(Rec->Text, 511)));
  while (text.endsWith(' ')) text.chop(1);
  text = SetSlash(text);
  auto putText = [&](const QString& s) {
    const QByteArray b = s.toUtf8().left(511);
    std::memset(Rec->Text, 0, sizeof(Rec->Text));
    std::memcpy(Rec->Text, b.constData(), static_cast<size_t>(b.size()));
  };

  switch (Rec->ActionCode) {
    case cbNewFile:
      if (OnProgress) OnProgress(this, NewFile, text, Rec->Arg2);
      break;
    case cbProgress:
      if (OnProgress) OnProgress(this, ProgressUpdate, QString(), Rec->Arg2);
      break;
    case cbEndOfBatch:
      if (OnProgress) OnProgress(this, EndOfBatch, QString(), 0);
      break;
    case cbMessage:
      Message = text;
      if (Rec->Arg1 != 0) {
        ErrCode = Rec->Arg1 & 0xFF;
        FullErrCode = Rec->Arg1;
      }
      if (OnMessage) OnMessage(this, Rec->Arg1, text);
      break;
    case cbTotalFiles:
      if (OnProgress) OnProgress(this, TotalFiles2Process, QString(), Rec->Arg2);
      break;
    case cbTotalSize:
      if (OnProgress) OnProgress(this, TotalSize2Process, QString(), Rec->Arg2);
      break;
    case cbNewName:
      if (OnSetNewName) {
        QString name = text;
        bool changed = false;
        OnSetNewName(this, name, changed);
        if (changed) {
          putText(name);
          Rec->Arg1 = 1;
        } else {
          Rec->Arg1 = 0;
        }
      }
      break;
    case cbPassword: {
      QString newPassword;
      unsigned repeat = static_cast<unsigned>(Rec->Arg2 < 0 ? 0 : Rec->Arg2);
      TPasswordButton action = pwbOk;
      if (OnPasswordError) {
        OnPasswordError(this, Rec->IsOperationZip != 0, newPassword, text, repeat, action);
        if (action != pwbOk) newPassword.clear();
      } else {
        newPassword = (Rec->Arg1 & 1) ? GetAddPassword(action) : GetExtrPassword(action);
        if (action != pwbOk) newPassword.clear();
      }
      if (!newPassword.isEmpty()) {
        putText(newPassword.left(80));
        Rec->Arg1 = 1;
      } else {
        repeat = 0;
        Rec->Arg1 = 0;
      }
      Rec->Arg2 = repeat > 15 ? 15 : repeat;
      if (action == pwbCancelAll) Rec->ActionCode = 0;
      else if (action == pwbAbort) Cancel = true;
      break;
    }
    case cbCRCError: {
      bool doExtract = true;
      if (OnCRC32Error) {
        OnCRC32Error(this, text, static_cast<unsigned>(Rec->Arg1), static_cast<unsigned>(Rec->Arg2), doExtract);
        Rec->Arg1 = doExtract ? 1 : 0;
      } else {
        Rec->Arg1 = 2;
      }
      break;
    }
    case cbOverwrite:
      if (OnExtractOverwrite) {
        bool doOverwrite = (Rec->Arg2 & 0xFF) != 0;
        OnExtractOverwrite(this, text, (Rec->Arg1 & 0x10000) != 0, doOverwrite, Rec->Arg1 & 0xFFFF);
        Rec->Arg2 = doOverwrite ? 1 : 0;
      }
      break;
    case cbSkipped:
      if (Rec->Arg1 != 0) {
        ErrCode = Rec->Arg1 & 0xFF;
        FullErrCode = Rec->Arg1;
      }
      if (OnExtractSkipped)
        OnExtractSkipped(this, text, static_cast<UnZipSkipTypes>((Rec->Arg2 & 0xFF) - 1), Rec->Arg1);
      break;
    case cbFileComment:
      if (OnFileComment) {
        QString comment = QString::fromUtf8(Rec->Text + kCommentOffsetInText, 1).remove(QChar(0));
        bool changed = false;
        OnFileComment(this, text, comment, changed);
        if (changed && !comment.isEmpty()) putText(comment);
        else std::memset(Rec->Text, 0, sizeof(Rec->Text));
        Rec->Arg1 = changed ? 1 : 0;
        Rec->Arg2 = std::min<qsizetype>(comment.toUtf8().size(), 511);
      }
      break;
    case cbStreamSize:
      if (!ZipStream.SetSize(Rec->Arg2)) {
        Rec->Arg1 = 1;
        Rec->Arg2 = 0;
      } else {
        Rec->Arg2 = static_cast<int64_t>(reinterpret_cast<intptr_t>(ZipStream.Memory()));
      }
      break;
    default:
      break;
  }
  const int32_t result = Cancel ? -1 : 0;
  ProcessMessages();
  return result;
}
