// File masks as the archives' users write them, with their DOS meaning: "*" any run of characters,
// "?" exactly one, except that a run of "?" ending the mask or standing before a "." may match
// fewer ("ZELM??.zip" takes "ZELM.zip" and "ZELM_3.zip", not "ZELM_10.zip"); case is ignored,
// "*.*" takes every name and "NAME.*" also "NAME" without an extension; no mask with a wildcard
// takes the table engine's side files. The file layer matches with the same rule, so a mask
// means one thing wherever it is written.
#pragma once
#include <QString>

#include <cstddef>
#include <string>
#include <vector>

namespace ziprec {

// Whole-name match of code points, both already folded to one case.
inline bool DosMatch(const char32_t* n, size_t nl, const char32_t* m, size_t ml) {
  // reach[i]: the name's first i characters are matched by the mask read so far.
  std::vector<char> reach(nl + 1, 0), next(nl + 1, 0);
  reach[0] = 1;
  size_t j = 0;
  while (j < ml) {
    std::fill(next.begin(), next.end(), 0);
    if (m[j] == U'*') {
      char any = 0;
      for (size_t i = 0; i <= nl; ++i) next[i] = any = static_cast<char>(any | reach[i]);
      ++j;
    } else if (m[j] == U'?') {
      size_t r = j;
      while (r < ml && m[r] == U'?') ++r;
      const size_t run = r - j;
      const bool elastic = r == ml || m[r] == U'.';
      for (size_t i = 0; i <= nl; ++i) {
        if (!reach[i]) continue;
        for (size_t len = elastic ? 0 : run; len <= run && i + len <= nl; ++len) next[i + len] = 1;
      }
      j = r;
    } else {
      for (size_t i = 0; i < nl; ++i)
        if (reach[i] && n[i] == m[j]) next[i + 1] = 1;
      ++j;
    }
    reach.swap(next);
  }
  return reach[nl] != 0;
}

inline bool DosMatch(const QString& name, const QString& mask) {
  const std::u32string n = name.toCaseFolded().toStdU32String();
  const std::u32string m = mask.toCaseFolded().toStdU32String();
  return DosMatch(n.data(), n.size(), m.data(), m.size());
}

// The table engine's own side files (its journal): no mask of a table takes them, or a backup
// would carry a stale journal that rolls the restored table back.
inline bool IsEngineSideFile(const QString& name) {
  return name.endsWith("-journal", Qt::CaseInsensitive) || name.endsWith("-wal", Qt::CaseInsensitive) ||
         name.endsWith("-shm", Qt::CaseInsensitive);
}
inline bool IsEngineSideFile(const std::string& name) { return ziprec::IsEngineSideFile(QString::fromStdString(name)); }

inline bool MaskMatch(const QString& mask, const QString& name) {
  if ((mask.contains('*') || mask.contains('?')) && ziprec::IsEngineSideFile(name)) return false;
  if (mask == "*.*" || mask == "*") return true;
  if (DosMatch(name, mask)) return true;
  if (mask.endsWith(".*") && !name.contains('.')) return DosMatch(name, mask.left(mask.size() - 2));
  return false;
}

// Names and masks in the libraries are UTF-8.
inline bool MaskMatch(const std::string& mask, const std::string& name) {
  return ziprec::MaskMatch(QString::fromStdString(mask), QString::fromStdString(name));
}

inline bool HasWildcards(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

}  // namespace ziprec
