// The application object: exceptions never cross the event loop. An error that reaches it is
// shown in the error box; the silent abort ends the operation without a word.
#pragma once
#include <QApplication>
#include <exception>

#include "platform/ui/TextBoxKeys.h"

class TApplication : public QApplication {
 public:
  TApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

// Shows the exception in flight (call it from a catch block) as the event loop does:
// EAbort silent, any other error in the error box with its message.
void HandleException(std::exception_ptr e);
// The error box of the application's default handler.
void ShowException(const QString& message);
