// The program's exception types.
#pragma once
#include <QString>
#include <stdexcept>

// Base of every exception the program raises on purpose; the text is what the error box shows.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const QString& msg) : std::runtime_error(msg.toStdString()), message_(msg) {}
  const QString& Message() const { return message_; }
 private:
  QString message_;
};

// The silent abort: ends the current operation, shown to nobody.
class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
};
[[noreturn]] inline void Abort() { throw EAbort(); }

class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

class EInOutError : public Exception {
 public:
  using Exception::Exception;
};
