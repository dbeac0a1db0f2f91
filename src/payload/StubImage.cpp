#include "payload/StubImage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <set>

namespace szsfx {

namespace {

using Bytes = std::vector<uint8_t>;

// ---- Little-endian fields, bounds-checked --------------------------------------------
bool Read16(const Bytes& b, size_t at, uint16_t& value) {
  if (at > b.size() || b.size() - at < 2) return false;
  value = static_cast<uint16_t>(b[at] | b[at + 1] << 8);
  return true;
}

bool Read32(const Bytes& b, size_t at, uint32_t& value) {
  if (at > b.size() || b.size() - at < 4) return false;
  value = static_cast<uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16) | static_cast<uint32_t>(b[at + 3]) << 24;
  return true;
}

void Put16(Bytes& b, size_t at, uint32_t value) {
  b[at] = static_cast<uint8_t>(value);
  b[at + 1] = static_cast<uint8_t>(value >> 8);
}

void Put32(Bytes& b, size_t at, uint32_t value) {
  Put16(b, at, value);
  Put16(b, at + 2, value >> 16);
}

void Append16(Bytes& b, uint32_t value) {
  b.resize(b.size() + 2);
  Put16(b, b.size() - 2, value);
}

void PadTo(Bytes& b, size_t alignment) { b.resize((b.size() + alignment - 1) / alignment * alignment); }

uint32_t AlignUp(uint32_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }

// ---- Text ---------------------------------------------------------------------------
bool Utf8ToUtf16(const std::string& text, std::u16string& out) {
  out.clear();
  for (size_t i = 0; i < text.size();) {
    auto lead = static_cast<unsigned char>(text[i]);
    size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
    if (length == 0 || text.size() - i < length) return false;
    uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
      auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = code << 6 | (next & 0x3F);
    }
    static const uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kLeast[length] || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) return false;
    if (code >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<char16_t>(code);
    }
    i += length;
  }
  return true;
}

std::string Utf16ToUtf8(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t code = text[i];
    if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
      code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | code >> 6);
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | code >> 12);
      out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | code >> 18);
      out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return out;
}

// ---- Image headers ------------------------------------------------------------------
struct TSection {
  uint32_t HeaderAt = 0, VirtualSize = 0, VirtualAddress = 0, RawSize = 0, RawPointer = 0;
  std::string Name;
};

struct TImage {
  uint32_t OptionalAt = 0, DirectoriesAt = 0, DirectoryCount = 0;
  uint32_t FileAlignment = 0, SectionAlignment = 0;
  std::vector<TSection> Sections;
};

constexpr uint32_t kResourceDirectory = 2, kRelocationDirectory = 5;

std::string ReadImage(const Bytes& b, TImage& image) {
  uint32_t peAt = 0, signature = 0;
  uint16_t sectionCount = 0, optionalSize = 0, magic = 0;
  if (b.size() < 0x40 || b[0] != 'M' || b[1] != 'Z' || !Read32(b, 0x3C, peAt) || !Read32(b, peAt, signature) ||
      signature != 0x4550 || !Read16(b, size_t{peAt} + 6, sectionCount) || !Read16(b, size_t{peAt} + 20, optionalSize))
    return "the stub is not a Windows image";
  image.OptionalAt = peAt + 24;
  bool plus = Read16(b, image.OptionalAt, magic) && magic == 0x20B;
  if (!plus && magic != 0x10B) return "the stub's optional header is neither PE32 nor PE32+";
  image.DirectoriesAt = image.OptionalAt + (plus ? 112 : 96);
  if (!Read32(b, image.OptionalAt + 32, image.SectionAlignment) ||
      !Read32(b, image.OptionalAt + 36, image.FileAlignment) ||
      !Read32(b, image.DirectoriesAt - 4, image.DirectoryCount) || image.DirectoryCount <= kRelocationDirectory ||
      image.DirectoriesAt + 8 * size_t{image.DirectoryCount} > image.OptionalAt + size_t{optionalSize} ||
      image.FileAlignment == 0 || image.SectionAlignment == 0 || image.FileAlignment > 0x10000 ||
      image.SectionAlignment > 0x10000000)
    return "the stub's optional header is damaged";
  size_t at = size_t{image.OptionalAt} + optionalSize;
  for (uint16_t i = 0; i < sectionCount; ++i, at += 40) {
    TSection s;
    s.HeaderAt = static_cast<uint32_t>(at);
    if (!Read32(b, at + 8, s.VirtualSize) || !Read32(b, at + 12, s.VirtualAddress) || !Read32(b, at + 16, s.RawSize) ||
        !Read32(b, at + 20, s.RawPointer) || s.RawPointer > b.size() || s.RawSize > b.size() - s.RawPointer ||
        s.VirtualAddress > 0x7FFFFFFF || s.VirtualSize > 0x7FFFFFFF)
      return "the stub's section table is damaged";
    s.Name.assign(reinterpret_cast<const char*>(&b[at]), strnlen(reinterpret_cast<const char*>(&b[at]), 8));
    image.Sections.push_back(s);
  }
  return "";
}

bool Directory(const Bytes& b, const TImage& image, uint32_t index, uint32_t& rva, uint32_t& size) {
  return index < image.DirectoryCount && Read32(b, image.DirectoriesAt + 8 * index, rva) &&
         Read32(b, image.DirectoriesAt + 8 * index + 4, size);
}

// The section that holds `rva`, or nullptr.
const TSection* SectionAt(const TImage& image, uint32_t rva) {
  for (const TSection& s : image.Sections) {
    if (rva >= s.VirtualAddress && rva - s.VirtualAddress < std::max(s.VirtualSize, s.RawSize)) return &s;
  }
  return nullptr;
}

// ---- The resource tree --------------------------------------------------------------
struct TTreeReader {
  const Bytes& Image;
  const TImage& Layout;
  const TSection& Section;
  std::vector<TResource>& Out;
  int EntriesLeft = 100000;  // a damaged tree cannot make us read forever

  bool Entry(uint32_t offset, uint32_t& id, uint32_t& target) {
    return offset < Section.RawSize && Read32(Image, Section.RawPointer + size_t{offset}, id) &&
           Read32(Image, Section.RawPointer + size_t{offset} + 4, target);
  }

  bool Name(uint32_t id, TResource& r) {
    r.Name = 0;
    r.NameText.clear();
    if (!(id & 0x80000000)) {
      r.Name = static_cast<uint16_t>(id);
      return true;
    }
    uint16_t length = 0;
    size_t at = Section.RawPointer + size_t{id & 0x7FFFFFFF};
    if ((id & 0x7FFFFFFF) >= Section.RawSize || !Read16(Image, at, length) ||
        size_t{length} * 2 + 2 > Section.RawSize - (id & 0x7FFFFFFF))
      return false;
    for (uint16_t i = 0; i < length; ++i)
      r.NameText += static_cast<char16_t>(Image[at + 2 + 2 * size_t{i}] | Image[at + 3 + 2 * size_t{i}] << 8);
    return true;
  }

  bool Data(uint32_t offset, TResource& r) {
    uint32_t rva = 0, size = 0;
    if (offset >= Section.RawSize || !Read32(Image, Section.RawPointer + size_t{offset}, rva) ||
        !Read32(Image, Section.RawPointer + size_t{offset} + 4, size) ||
        !Read32(Image, Section.RawPointer + size_t{offset} + 8, r.CodePage))
      return false;
    const TSection* holder = SectionAt(Layout, rva);
    if (holder == nullptr || rva - holder->VirtualAddress > holder->RawSize ||
        size > holder->RawSize - (rva - holder->VirtualAddress))
      return false;
    auto from = Image.begin() + holder->RawPointer + (rva - holder->VirtualAddress);
    r.Data.assign(from, from + size);
    return true;
  }

  // Reads the directory at `offset`; `level` 0 holds types, 1 names, 2 languages.
  bool Table(uint32_t offset, int level, TResource r) {
    uint16_t named = 0, numbered = 0;
    size_t at = Section.RawPointer + size_t{offset};
    if (offset >= Section.RawSize || !Read16(Image, at + 12, named) || !Read16(Image, at + 14, numbered)) return false;
    for (uint32_t i = 0; i < uint32_t{named} + numbered; ++i) {
      uint32_t id = 0, target = 0;
      if (--EntriesLeft < 0 || !Entry(offset + 16 + 8 * i, id, target)) return false;
      bool isTable = (target & 0x80000000) != 0;
      if (isTable != (level < 2)) return false;
      if (level == 0 && (id & 0x80000000)) return false;  // types by name: none in our stubs
      if (level == 0) r.Type = static_cast<uint16_t>(id);
      if (level == 1 && !Name(id, r)) return false;
      if (level == 2) r.Language = static_cast<uint16_t>(id);
      if (isTable ? !Table(target & 0x7FFFFFFF, level + 1, r) : !Data(target, r)) return false;
      if (!isTable) Out.push_back(r);
    }
    return true;
  }
};

// The resources as a section at `sectionRva`: tables (types, names, languages), data
// entries, names, then the data, each piece 8-byte aligned.
Bytes WriteResourceSection(std::vector<TResource> resources, uint32_t sectionRva) {
  auto order = [](const TResource& a, const TResource& b) {
    bool aNamed = !a.NameText.empty(), bNamed = !b.NameText.empty();
    if (a.Type != b.Type) return a.Type < b.Type;
    if (aNamed != bNamed) return aNamed;  // names before IDs
    if (a.NameText != b.NameText) return a.NameText < b.NameText;
    if (a.Name != b.Name) return a.Name < b.Name;
    return a.Language < b.Language;
  };
  std::sort(resources.begin(), resources.end(), order);
  auto sameName = [](const TResource& a, const TResource& b) {
    return a.Type == b.Type && a.NameText == b.NameText && a.Name == b.Name;
  };
  // Sizes first: the tables' total, then where the data entries and names go.
  size_t types = 0, names = 0, nameText = 0;
  for (size_t i = 0; i < resources.size(); ++i) {
    if (i == 0 || resources[i].Type != resources[i - 1].Type) ++types;
    if (i == 0 || !sameName(resources[i], resources[i - 1])) {
      ++names;
      if (!resources[i].NameText.empty()) nameText += 2 + 2 * resources[i].NameText.size();
    }
  }
  const size_t tables = 16 + 8 * types + (16 * types + 8 * names) + (16 * names + 8 * resources.size());
  const size_t dataEntries = tables, nameArea = dataEntries + 16 * resources.size();
  size_t dataArea = (nameArea + nameText + 7) / 8 * 8;

  Bytes out(dataArea, 0);
  size_t nextTable = 16 + 8 * types, nextName = nameArea, entry = 0, typeEntry = 16;
  auto tableHead = [&](size_t at, size_t namedCount, size_t idCount) {
    Put16(out, at + 12, static_cast<uint32_t>(namedCount));
    Put16(out, at + 14, static_cast<uint32_t>(idCount));
  };
  tableHead(0, 0, types);
  for (size_t t = 0; t < resources.size();) {
    size_t tEnd = t;
    while (tEnd < resources.size() && resources[tEnd].Type == resources[t].Type) ++tEnd;
    const size_t typeTable = nextTable;
    Put32(out, typeEntry, resources[t].Type);
    Put32(out, typeEntry + 4, 0x80000000 | static_cast<uint32_t>(typeTable));
    typeEntry += 8;
    size_t namedCount = 0, idCount = 0;
    for (size_t n = t; n < tEnd; ++n)
      if (n == t || !sameName(resources[n], resources[n - 1])) (resources[n].NameText.empty() ? idCount : namedCount)++;
    tableHead(typeTable, namedCount, idCount);
    nextTable += 16 + 8 * (namedCount + idCount);
    size_t nameEntry = typeTable + 16;
    for (size_t n = t; n < tEnd;) {
      size_t nEnd = n;
      while (nEnd < tEnd && sameName(resources[nEnd], resources[n])) ++nEnd;
      const size_t nameTable = nextTable;
      if (resources[n].NameText.empty()) {
        Put32(out, nameEntry, resources[n].Name);
      } else {
        Put32(out, nameEntry, 0x80000000 | static_cast<uint32_t>(nextName));
        Put16(out, nextName, static_cast<uint32_t>(resources[n].NameText.size()));
        for (size_t c = 0; c < resources[n].NameText.size(); ++c)
          Put16(out, nextName + 2 + 2 * c, resources[n].NameText[c]);
        nextName += 2 + 2 * resources[n].NameText.size();
      }
      Put32(out, nameEntry + 4, 0x80000000 | static_cast<uint32_t>(nameTable));
      nameEntry += 8;
      tableHead(nameTable, 0, nEnd - n);
      nextTable += 16 + 8 * (nEnd - n);
      for (size_t l = n; l < nEnd; ++l, ++entry) {
        const size_t dataEntry = dataEntries + 16 * entry;
        Put32(out, nameTable + 16 + 8 * (l - n), resources[l].Language);
        Put32(out, nameTable + 20 + 8 * (l - n), static_cast<uint32_t>(dataEntry));
        Put32(out, dataEntry, sectionRva + static_cast<uint32_t>(out.size()));
        Put32(out, dataEntry + 4, static_cast<uint32_t>(resources[l].Data.size()));
        Put32(out, dataEntry + 8, resources[l].CodePage);
        out.insert(out.end(), resources[l].Data.begin(), resources[l].Data.end());
        PadTo(out, 8);
      }
      n = nEnd;
    }
    t = tEnd;
  }
  return out;
}

// ---- Icons --------------------------------------------------------------------------
// Replaces the first icon group (and the icons it names) by the .ico file's pictures.
std::string ReplaceIcon(std::vector<TResource>& resources, const Bytes& ico) {
  uint16_t reserved = 1, kind = 0, count = 0;
  if (!Read16(ico, 0, reserved) || !Read16(ico, 2, kind) || !Read16(ico, 4, count) || reserved != 0 || kind != 1 ||
      count == 0 || ico.size() < 6 + 16 * size_t{count})
    return "the icon file is not an .ico file";
  TResource group;
  group.Type = kResourceIconGroup;
  group.Name = 1;
  group.Language = 0x409;
  auto old =
      std::find_if(resources.begin(), resources.end(), [](const TResource& r) { return r.Type == kResourceIconGroup; });
  std::set<uint16_t> freed, used;
  if (old != resources.end()) {
    group.Name = old->Name;
    group.NameText = old->NameText;
    group.Language = old->Language;
    uint16_t oldCount = 0, id = 0;
    for (uint16_t i = 0;
         Read16(old->Data, 4, oldCount) && i < oldCount && Read16(old->Data, 6 + 14 * size_t{i} + 12, id); ++i)
      freed.insert(id);
    resources.erase(old);
    resources.erase(std::remove_if(resources.begin(), resources.end(),
                                   [&](const TResource& r) { return r.Type == kResourceIcon && freed.count(r.Name); }),
                    resources.end());
  }
  for (const TResource& r : resources)
    if (r.Type == kResourceIcon) used.insert(r.Name);
  Append16(group.Data, 0);
  Append16(group.Data, 1);
  Append16(group.Data, count);
  uint16_t nextId = 1;
  for (uint16_t i = 0; i < count; ++i) {
    uint32_t size = 0, offset = 0;
    const size_t entry = 6 + 16 * size_t{i};
    if (!Read32(ico, entry + 8, size) || !Read32(ico, entry + 12, offset) || size == 0 || offset > ico.size() ||
        size > ico.size() - offset)
      return "picture " + std::to_string(i + 1) + " of the icon file lies outside the file";
    while (used.count(nextId)) ++nextId;
    used.insert(nextId);
    TResource icon;
    icon.Type = kResourceIcon;
    icon.Name = nextId;
    icon.Language = group.Language;
    icon.Data.assign(ico.begin() + offset, ico.begin() + offset + size);
    resources.push_back(icon);
    group.Data.insert(group.Data.end(), ico.begin() + static_cast<long>(entry),
                      ico.begin() + static_cast<long>(entry) + 12);
    Append16(group.Data, nextId);
  }
  resources.push_back(group);
  return "";
}

// ---- Version information --------------------------------------------------------------
// One node of a version resource: a key, a value (text values as UTF-16 with their NUL)
// and the nodes below it.
struct TVersionNode {
  std::u16string Key;
  uint16_t Type = 0;  // 1 text, 0 binary
  Bytes Value;
  std::vector<TVersionNode> Children;
};

bool ParseVersionNode(const Bytes& b, size_t at, size_t end, TVersionNode& node, int depth) {
  uint16_t length = 0, valueLength = 0;
  if (depth > 4 || !Read16(b, at, length) || !Read16(b, at + 2, valueLength) || !Read16(b, at + 4, node.Type) ||
      length < 6 || length > end - at)
    return false;
  end = at + length;
  size_t p = at + 6;
  for (uint16_t c = 1; p + 2 <= end && Read16(b, p, c) && c != 0; p += 2) node.Key += static_cast<char16_t>(c);
  p = (p + 2 + 3) / 4 * 4;
  size_t valueBytes = node.Type == 1 ? 2 * size_t{valueLength} : valueLength;
  if (p > end || valueBytes > end - p) return false;
  node.Value.assign(b.begin() + static_cast<long>(p), b.begin() + static_cast<long>(p + valueBytes));
  for (p = (p + valueBytes + 3) / 4 * 4; p + 6 <= end; p = (p + 3) / 4 * 4) {
    TVersionNode child;
    uint16_t childLength = 0;
    if (!ParseVersionNode(b, p, end, child, depth + 1) || !Read16(b, p, childLength)) return false;
    node.Children.push_back(std::move(child));
    p += childLength;
  }
  return true;
}

Bytes WriteVersionNode(const TVersionNode& node) {
  Bytes out(6, 0);
  for (char16_t c : node.Key) Append16(out, c);
  Append16(out, 0);
  PadTo(out, 4);
  out.insert(out.end(), node.Value.begin(), node.Value.end());
  Put16(out, 2, static_cast<uint32_t>(node.Type == 1 ? node.Value.size() / 2 : node.Value.size()));
  Put16(out, 4, node.Type);
  for (const TVersionNode& child : node.Children) {
    PadTo(out, 4);
    Bytes written = WriteVersionNode(child);
    out.insert(out.end(), written.begin(), written.end());
  }
  Put16(out, 0, static_cast<uint32_t>(out.size()));
  return out;
}

TVersionNode* Child(TVersionNode& node, const std::u16string& key) {
  for (TVersionNode& c : node.Children)
    if (c.Key == key) return &c;
  return nullptr;
}

// "a.b.c.d" (one to four numbers up to 65535) as the two 32-bit halves of a fixed version.
bool NumericVersion(const std::string& text, uint32_t& high, uint32_t& low) {
  uint32_t parts[4] = {};
  size_t count = 0, at = 0;
  for (;;) {
    size_t end = text.find('.', at);
    std::string part = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (count == 4 || part.empty() || part.size() > 5 || part.find_first_not_of("0123456789") != std::string::npos ||
        std::stoul(part) > 65535)
      return false;
    parts[count++] = static_cast<uint32_t>(std::stoul(part));
    if (end == std::string::npos) break;
    at = end + 1;
  }
  high = parts[0] << 16 | parts[1];
  low = parts[2] << 16 | parts[3];
  return true;
}

std::string ChangeVersion(std::vector<TResource>& resources,
                          const std::vector<std::pair<std::string, std::string>>& strings) {
  auto found =
      std::find_if(resources.begin(), resources.end(), [](const TResource& r) { return r.Type == kResourceVersion; });
  TVersionNode root;
  if (found == resources.end() || !ParseVersionNode(found->Data, 0, found->Data.size(), root, 0) ||
      root.Value.size() != 52)
    return "the stub's version resource is missing or damaged";
  TVersionNode* fileInfo = Child(root, u"StringFileInfo");
  if (fileInfo == nullptr || fileInfo->Children.empty()) return "the stub's version resource has no string table";
  TVersionNode& table = fileInfo->Children.front();
  for (const auto& [key, value] : strings) {
    std::u16string wideKey, wideValue;
    if (!Utf8ToUtf16(key, wideKey) || !Utf8ToUtf16(value, wideValue))
      return "the version text for " + key + " is not UTF-8";
    uint32_t high = 0, low = 0;
    const bool isFile = key == "FileVersion", isProduct = key == "ProductVersion";
    if ((isFile || isProduct) && !NumericVersion(value, high, low))
      return "a version takes one to four numbers up to 65535 joined by dots (a.b.c.d), not \"" + value + "\"";
    if (isFile || isProduct) {
      Put32(root.Value, isFile ? 8 : 16, high);
      Put32(root.Value, isFile ? 12 : 20, low);
    }
    TVersionNode* node = Child(table, wideKey);
    if (node == nullptr) {
      table.Children.push_back(TVersionNode{wideKey, 1, {}, {}});
      node = &table.Children.back();
    }
    node->Value.clear();
    for (char16_t c : wideValue) Append16(node->Value, c);
    Append16(node->Value, 0);
  }
  found->Data = WriteVersionNode(root);
  if (found->Data.size() > 0xFFFF) return "the version texts are too long";
  return "";
}

// ---- The manifest ---------------------------------------------------------------------
std::string ChangeExecutionLevel(std::vector<TResource>& resources, const std::string& level) {
  auto found =
      std::find_if(resources.begin(), resources.end(), [](const TResource& r) { return r.Type == kResourceManifest; });
  if (found == resources.end()) return "the stub has no manifest";
  std::string text(found->Data.begin(), found->Data.end());
  const size_t element = text.find("<requestedExecutionLevel");
  const size_t attribute = element == std::string::npos ? element : text.find("level=\"", element);
  const size_t end = attribute == std::string::npos ? attribute : text.find('"', attribute + 7);
  if (end == std::string::npos || text.find('>', element) < end) return "the stub's manifest names no execution level";
  text.replace(attribute + 7, end - attribute - 7, level);
  found->Data.assign(text.begin(), text.end());
  return "";
}

// ---- Putting the section back --------------------------------------------------------
// Writes `section` as the resource section: grows or shrinks it in place, moving only
// the relocation section that may follow it, within the image's fixed size.
std::string PutResourceSection(Bytes& b, const TImage& image, size_t index, const Bytes& section) {
  const TSection& rsrc = image.Sections[index];
  uint32_t relocationRva = 0, relocationSize = 0;
  Directory(b, image, kRelocationDirectory, relocationRva, relocationSize);
  Bytes moved;
  const TSection* follower = nullptr;
  for (size_t i = index + 1; i < image.Sections.size(); ++i) {
    const TSection& s = image.Sections[i];
    if (follower != nullptr || s.VirtualAddress != relocationRva || s.VirtualSize < relocationSize)
      return "the stub's resource section is followed by the section " + s.Name + ", which cannot move";
    follower = &s;
    moved.assign(b.begin() + s.RawPointer, b.begin() + s.RawPointer + s.RawSize);
  }
  const uint32_t newRaw = AlignUp(static_cast<uint32_t>(section.size()), image.FileAlignment);
  const size_t room = b.size() - rsrc.RawPointer;
  const size_t needed = size_t{newRaw} + moved.size();
  if (needed > room) {
    return "the icon and texts do not fit in the stub: the resources take " + std::to_string(section.size()) +
           " bytes (" + std::to_string(needed) + " with the sections after them, in " +
           std::to_string(image.FileAlignment) + "-byte units) and the stub has room for " + std::to_string(room);
  }
  std::fill(b.begin() + rsrc.RawPointer, b.end(), 0);
  std::copy(section.begin(), section.end(), b.begin() + rsrc.RawPointer);
  Put32(b, rsrc.HeaderAt + 8, static_cast<uint32_t>(section.size()));
  Put32(b, rsrc.HeaderAt + 16, newRaw);
  Put32(b, image.DirectoriesAt + 8 * kResourceDirectory + 4, static_cast<uint32_t>(section.size()));
  uint32_t end = AlignUp(rsrc.VirtualAddress + static_cast<uint32_t>(section.size()), image.SectionAlignment);
  int64_t initializedData = int64_t{newRaw} - rsrc.RawSize;
  if (follower != nullptr) {
    const uint32_t rawAt = rsrc.RawPointer + newRaw;
    std::copy(moved.begin(), moved.end(), b.begin() + rawAt);
    Put32(b, follower->HeaderAt + 12, end);
    Put32(b, follower->HeaderAt + 20, rawAt);
    Put32(b, image.DirectoriesAt + 8 * kRelocationDirectory, end);
    end = AlignUp(end + follower->VirtualSize, image.SectionAlignment);
  }
  uint32_t sizeOfData = 0;
  Read32(b, image.OptionalAt + 8, sizeOfData);
  Put32(b, image.OptionalAt + 8, static_cast<uint32_t>(int64_t{sizeOfData} + initializedData));
  Put32(b, image.OptionalAt + 56, end);  // SizeOfImage
  return "";
}

}  // namespace

std::string ReadResources(const Bytes& image, std::vector<TResource>& resources) {
  TImage layout;
  std::string error = ReadImage(image, layout);
  uint32_t rva = 0, size = 0;
  if (!error.empty()) return error;
  const TSection* section = Directory(image, layout, kResourceDirectory, rva, size) ? SectionAt(layout, rva) : nullptr;
  if (section == nullptr || rva != section->VirtualAddress) return "the stub has no resource section of its own";
  resources.clear();
  TTreeReader reader{image, layout, *section, resources};
  if (!reader.Table(0, 0, TResource{})) return "the stub's resource tree is damaged";
  return "";
}

bool ParseVersionInfo(const Bytes& resource, TVersionInfo& info) {
  TVersionNode root;
  uint32_t parts[4] = {};
  if (!ParseVersionNode(resource, 0, resource.size(), root, 0) || root.Value.size() != 52) return false;
  for (int i = 0; i < 4; ++i) Read32(root.Value, 8 + 4 * size_t(i), parts[i]);
  for (size_t i = 0; i < 2; ++i) {
    info.FileVersion[2 * i] = static_cast<uint16_t>(parts[i] >> 16);
    info.FileVersion[2 * i + 1] = static_cast<uint16_t>(parts[i]);
    info.ProductVersion[2 * i] = static_cast<uint16_t>(parts[2 + i] >> 16);
    info.ProductVersion[2 * i + 1] = static_cast<uint16_t>(parts[2 + i]);
  }
  TVersionNode* fileInfo = Child(root, u"StringFileInfo");
  if (fileInfo == nullptr || fileInfo->Children.empty()) return false;
  for (const TVersionNode& s : fileInfo->Children.front().Children) {
    std::u16string value;
    for (size_t i = 0; i + 1 < s.Value.size(); i += 2) value += static_cast<char16_t>(s.Value[i] | s.Value[i + 1] << 8);
    while (!value.empty() && value.back() == 0) value.pop_back();
    info.Strings.emplace_back(Utf16ToUtf8(s.Key), Utf16ToUtf8(value));
  }
  return true;
}

std::string ChangeStubResources(Bytes& stub, const TStubResourceChanges& changes) {
  TImage layout;
  std::vector<TResource> resources;
  std::string error = ReadImage(stub, layout);
  if (error.empty()) error = ReadResources(stub, resources);
  if (!error.empty()) return error;
  if (!changes.IconFile.empty()) error = ReplaceIcon(resources, changes.IconFile);
  if (error.empty() && !changes.VersionStrings.empty()) error = ChangeVersion(resources, changes.VersionStrings);
  if (error.empty() && !changes.ExecutionLevel.empty()) error = ChangeExecutionLevel(resources, changes.ExecutionLevel);
  if (!error.empty()) return error;
  uint32_t rva = 0, size = 0;
  Directory(stub, layout, kResourceDirectory, rva, size);
  size_t index = static_cast<size_t>(SectionAt(layout, rva) - layout.Sections.data());
  Bytes changed = stub;
  error = PutResourceSection(changed, layout, index, WriteResourceSection(resources, rva));
  if (error.empty()) stub.swap(changed);
  return error;
}

bool ImageChecksumField(const Bytes& head, uint64_t& at) {
  uint32_t peAt = 0, signature = 0;
  if (head.size() < 0x40 || !Read32(head, 0x3C, peAt) || !Read32(head, peAt, signature) || signature != 0x4550 ||
      size_t{peAt} + 24 + 68 > head.size())
    return false;
  at = uint64_t{peAt} + 24 + 64;
  return true;
}

void TImageChecksum::Add(const uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; ++i, ++total_) {
    const uint32_t byte = total_ - fieldAt_ < 4 ? 0 : data[i];  // the field itself counts as zero
    sum_ += total_ & 1 ? byte << 8 : byte;
  }
}

uint32_t TImageChecksum::Value() const {
  uint64_t sum = sum_;
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + total_);
}

Bytes TImageChecksum::Field() const {
  Bytes field(4);
  Put32(field, 0, Value());
  return field;
}

}  // namespace szsfx
