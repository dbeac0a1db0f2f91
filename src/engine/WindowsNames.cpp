#include "engine/WindowsNames.h"

namespace szsfx {

namespace {

char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

std::u16string UpperAscii(const std::u16string& text) {
  std::u16string out = text;
  for (char16_t& c : out) c = Upper(c);
  return out;
}

// COM and LPT take the digits 1 to 9 and the superscripts 1, 2 and 3.
bool IsPortDigit(char16_t c) { return (c >= u'1' && c <= u'9') || c == u'\u00B9' || c == u'\u00B2' || c == u'\u00B3'; }

}  // namespace

bool IsReservedDeviceName(const std::u16string& component) {
  // The system looks at the part before the first dot, without its trailing spaces.
  std::u16string base = component.substr(0, component.find(u'.'));
  while (!base.empty() && base.back() == u' ') base.pop_back();
  base = UpperAscii(base);
  if (base == u"CON" || base == u"PRN" || base == u"AUX" || base == u"NUL" || base == u"CONIN$" || base == u"CONOUT$") {
    return true;
  }
  return base.size() == 4 && (base.compare(0, 3, u"COM") == 0 || base.compare(0, 3, u"LPT") == 0) &&
         IsPortDigit(base[3]);
}

std::u16string SafeComponent(const std::u16string& component) {
  if (component.empty() || component == u"." || component == u"..") return component;
  std::u16string safe = IsReservedDeviceName(component) ? u"_" + component : component;
  if (safe.back() == u'.' || safe.back() == u' ') safe += u'_';
  return safe;
}

std::u16string SafeItemPath(const std::u16string& path) {
  std::u16string out;
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != u'\\' && path[i] != u'/') continue;
    out += SafeComponent(path.substr(start, i - start));
    if (i < path.size()) out += path[i];
    start = i + 1;
  }
  return out;
}

}  // namespace szsfx
