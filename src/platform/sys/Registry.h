// The registry store of our own: keys and string values, one file per root under the user's
// configuration folder ($ZELM_REGISTRY_DIR when set). It never touches the desktop's settings.
#pragma once
#include <QString>
#include <memory>

#include "platform/sys/Errors.h"

enum HKEY { HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE };

class ERegistryException : public Exception {
 public:
  using Exception::Exception;
};

class TIniFile;

class TRegistry {
 public:
  TRegistry();
  ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY RootKey = HKEY_CURRENT_USER;

  // Opens a key below the root (or below the open key when the path does not start with "\");
  // with canCreate a missing key is created. False when the key is missing and not created.
  bool OpenKey(const QString& key, bool canCreate);
  bool OpenKeyReadOnly(const QString& key);
  void CloseKey();
  bool KeyExists(const QString& key) const;
  QString CurrentPath() const { return current_; }

  QString ReadString(const QString& name) const;  // "" when missing
  void WriteString(const QString& name, const QString& value);
  bool ValueExists(const QString& name) const;

  // The folder of the store and the file of a root.
  static QString StoreFolder();
  static QString RootFile(HKEY root);

 private:
  QString Resolve(const QString& key) const;
  TIniFile Store() const;
  QString current_;
  bool open_ = false;
  bool readOnly_ = false;
};
