#include "engine/ItemInfo.h"

#include "platform/Paths.h"

namespace szsfx {

namespace {

constexpr uint64_t kPerSecond = 10000000;
constexpr int64_t kDaysFrom1601To1970 = 134774;

// The civil date of a day counted from 1970-01-01 (proleptic Gregorian calendar).
void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

}  // namespace

plat::TCalendar FileTimeToCalendar(uint64_t time) {
  uint64_t seconds = time / kPerSecond;
  plat::TCalendar c{};
  CivilFromDays(static_cast<int64_t>(seconds / 86400) - kDaysFrom1601To1970, c.Year, c.Month, c.Day);
  uint64_t rest = seconds % 86400;
  c.Hour = static_cast<int>(rest / 3600);
  c.Minute = static_cast<int>(rest / 60 % 60);
  c.Second = static_cast<int>(rest % 60);
  return c;
}

std::u16string GroupThousands(uint64_t value, const std::u16string& separator) {
  const std::string digits = std::to_string(value);
  std::u16string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += separator;
    out += static_cast<char16_t>(digits[i]);
  }
  return out;
}

std::u16string ItemDescription(uint64_t size, uint64_t localTime) {
  const plat::TCalendar when = FileTimeToCalendar(localTime);
  const std::u16string date = plat::FormatShortDate(when), time = plat::FormatTimeNoSeconds(when);
  const std::u16string whenText = date.empty() || time.empty() ? std::u16string() : date + u" " + time;
  return GroupThousands(size, plat::ThousandSeparator()) + u" bytes, " + whenText;
}

// Local time is for the user's eyes only: the file gets the archive's UTC time as it is.
std::u16string TItemFacts::Description() const {
  uint64_t local = 0;
  if (!HasTime || !plat::UtcToLocal(ModifiedUtc, local)) local = plat::LocalNow();
  return ItemDescription(Size, local);
}

uint32_t WindowsAttributes(uint32_t attributes) {
  // read-only, hidden, system, archive, normal, temporary, offline, not indexed
  constexpr uint32_t kSettable = 0x1 | 0x2 | 0x4 | 0x20 | 0x80 | 0x100 | 0x1000 | 0x2000;
  return attributes & kSettable;
}

bool ItemPathIsSafe(const std::u16string& path) {
  if (path.empty() || plat::IsPathSeparator(path[0])) return false;  // root-relative and UNC paths
  if (path.find(u':') != std::u16string::npos) return false;         // drives and alternate streams
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && !plat::IsPathSeparator(path[i])) continue;
    if (path.compare(start, i - start, u"..") == 0) return false;
    start = i + 1;
  }
  return true;
}

void SplitItemPath(const std::u16string& path, std::u16string& folder, std::u16string& name) {
  size_t cut = path.size();
  while (cut > 0 && !plat::IsPathSeparator(path[cut - 1]) && path[cut - 1] != u':') --cut;
  folder = path.substr(0, cut);
  name = path.substr(cut);
}

std::u16string PartialFileName(uint32_t processId, uint32_t number) {
  static const char16_t kHex[] = u"0123456789abcdef";
  std::u16string hex;
  do {
    hex.insert(hex.begin(), kHex[processId & 15]);
    processId >>= 4;
  } while (processId != 0);
  std::u16string decimal;
  do {
    decimal.insert(decimal.begin(), static_cast<char16_t>(u'0' + number % 10));
    number /= 10;
  } while (number != 0);
  return u"~szsfx" + hex + u"-" + decimal + u".tmp";
}

}  // namespace szsfx
