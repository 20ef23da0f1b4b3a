// File masks as the archives' users write them: "*" and "?", ignoring case, "*.*" for every name,
// and "NAME.*" also for "NAME" without an extension.
#pragma once
#include <cctype>
#include <string>

namespace ziprec {

inline bool GlobMatch(const char* m, const char* s) {
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*s) {
    if (*m == '*') {
      star = m++;
      resume = s;
    } else if (*m == '?' ||
               std::tolower(static_cast<unsigned char>(*m)) == std::tolower(static_cast<unsigned char>(*s))) {
      ++m;
      ++s;
    } else if (star) {
      m = star + 1;
      s = ++resume;
    } else {
      return false;
    }
  }
  while (*m == '*') ++m;
  return *m == 0;
}

inline bool MaskMatch(const std::string& mask, const std::string& name) {
  if (mask == "*.*" || mask == "*") return true;
  if (GlobMatch(mask.c_str(), name.c_str())) return true;
  if (mask.size() >= 2 && mask.compare(mask.size() - 2, 2, ".*") == 0 &&
      name.find('.') == std::string::npos)
    return GlobMatch(mask.substr(0, mask.size() - 2).c_str(), name.c_str());
  return false;
}

// The table engine's own side files (its journal): no mask of a table takes them, or a backup
// would carry a stale journal that rolls the restored table back.
inline bool IsEngineSideFile(const std::string& name) {
  auto ends = [&](const char* suffix) {
    const std::string s(suffix);
    if (name.size() < s.size()) return false;
    for (size_t i = 0; i < s.size(); ++i)
      if (std::tolower(static_cast<unsigned char>(name[name.size() - s.size() + i])) != s[i]) return false;
    return true;
  };
  return ends("-journal") || ends("-wal") || ends("-shm");
}

inline bool HasWildcards(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

}  // namespace ziprec
