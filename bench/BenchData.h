// A year of a wholesaler's data for the benchmarks, in every table of the program's schema: 30
// regions, 300 clients, 80 titles, every client taking every title every day (8.76 million
// takings), weekly returns and payments, daily purchases, three sites and two printing houses; the
// lists tables empty. Generated once into a folder and reused.
#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <chrono>
#include <cstdint>
#include <string>

namespace bench {

constexpr int kRegions = 30, kClients = 300, kTitles = 80;
inline const QDate kYearStart(2025, 1, 1);
inline const QDate kYearEnd(2025, 12, 31);

using Clock = std::chrono::steady_clock;
inline double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// "0007" for Code(7, 4): the codes the generator gives clients (1..300), titles (1..80), regions.
QString Code(int n, int width);
double Price(int title);
double Rebate(int client, int periode);

// The generator's own random numbers (xorshift), so every run makes the same data.
struct Rng {
  uint64_t s = 0x9E3779B97F4A7C15ull;
  uint32_t Next() {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return uint32_t(s >> 16);
  }
  int Quantity() {
    const uint32_t r = Next() % 100;
    return r < 55 ? 0 : int(1 + Next() % 20);
  }
};

// Makes the data in dir unless a complete set of the schema's layout is there (in a child
// process, so its memory stays out of the caller's figures). False when the generation failed.
bool EnsureYearData(const QString& dir);
// What marks a complete set (empty when there is none): a copy made from it is as current as its
// mark.
QByteArray YearDataMark(const QString& dir);

// A fresh, writable copy of the year's table files in `to` (only those of the named tables, when
// given): nothing of an earlier run stays, since a journal left by a killed run would be rolled
// into the new files. False when a file could not be copied.
bool CopyYearData(const QString& from, const QString& to, const QStringList& tables = {});

// Peak resident memory of this process so far, in KB.
long PeakKb();

// Prints one measured figure against its target and remembers whether it was met.
void Report(const std::string& what, double v, const std::string& unit, const std::string& target, bool ok);
// 0 when every reported figure met its target, else 1.
int ReportExitCode();

}  // namespace bench
