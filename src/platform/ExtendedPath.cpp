#include "platform/ExtendedPath.h"

#include <vector>

namespace plat {

namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

bool IsLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

bool IsDrivePath(const std::u16string& p) {
  return p.size() >= 3 && IsLetter(p[0]) && p[1] == u':' && IsSeparator(p[2]);
}

// "\\server\share..." but not "\\?\" or "\\.\".
bool IsUncPath(const std::u16string& p) {
  return p.size() >= 5 && IsSeparator(p[0]) && IsSeparator(p[1]) && p[2] != u'?' && p[2] != u'.' && !IsSeparator(p[2]);
}

bool IsExtended(const std::u16string& p) {
  return p.size() >= 4 && p[0] == u'\\' && p[1] == u'\\' && (p[2] == u'?' || p[2] == u'.') && p[3] == u'\\';
}

std::vector<std::u16string> Components(const std::u16string& text) {
  std::vector<std::u16string> parts;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && !IsSeparator(text[i])) continue;
    if (i > start) parts.push_back(text.substr(start, i - start));
    start = i + 1;
  }
  return parts;
}

// Resolves "." and ".." among the components after the first `fixed` ones (the root).
std::vector<std::u16string> Resolved(const std::vector<std::u16string>& parts, size_t fixed) {
  std::vector<std::u16string> out(parts.begin(), parts.begin() + static_cast<long>(fixed));
  for (size_t i = fixed; i < parts.size(); ++i) {
    if (parts[i] == u".") continue;
    if (parts[i] == u"..") {
      if (out.size() > fixed) out.pop_back();
      continue;
    }
    out.push_back(parts[i]);
  }
  return out;
}

std::u16string Joined(const std::vector<std::u16string>& parts, size_t from) {
  std::u16string text;
  for (size_t i = from; i < parts.size(); ++i) {
    if (i > from) text += u'\\';
    text += parts[i];
  }
  return text;
}

}  // namespace

std::u16string NormalisedPath(const std::u16string& path) {
  if (IsDrivePath(path)) {
    const std::u16string drive = path.substr(0, 2);
    const std::vector<std::u16string> parts = Resolved(Components(path.substr(2)), 0);
    return drive + u"\\" + Joined(parts, 0);
  }
  if (IsUncPath(path)) {
    const std::vector<std::u16string> all = Components(path);
    if (all.size() < 2) return path;  // "\\server" alone names no share
    return u"\\\\" + Joined(Resolved(all, 2), 0);
  }
  return path;
}

std::u16string ExtendedPath(const std::u16string& path) {
  if (IsExtended(path)) return path;
  if (IsDrivePath(path)) return u"\\\\?\\" + NormalisedPath(path);
  if (IsUncPath(path) && Components(path).size() >= 2) return u"\\\\?\\UNC\\" + NormalisedPath(path).substr(2);
  return path;
}

std::u16string PathForSystem(const std::u16string& path) {
  return path.size() > kPlainPathLimit ? ExtendedPath(path) : path;
}

}  // namespace plat
