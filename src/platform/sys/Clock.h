// The one clock of the program; tests set it.
#pragma once
#include <QDate>
#include <QDateTime>

QDateTime Now();
QDate Date();  // today
// Fix the clock at a given moment (tests); an invalid value returns to the system clock.
void SetClock(const QDateTime& fixed);
