#include "run/BrowseLogic.h"

namespace szsfx {

int SpecialFolderId(TRootID root) {
  static const int kIds[] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B,  0x10,
                             0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0xFEFE};
  if (root > idDesktopExpanded) return 0xFEFE;
  return kIds[root];
}

uint32_t ShellBrowseFlags(TBrowseFlags options, bool statusFlag) {
  static const uint32_t kFlags[] = {0x0001, 0x0002, 0x0008, 0x1000, 0x2000, 0x4000, 0x0010};
  uint32_t flags = 0;
  for (int bit = bfDirectoriesOnly; bit <= bfEditBox; ++bit) {
    if (options & (1u << bit)) flags |= kFlags[bit];
  }
  if (options & FlagBit(bfEditBox)) flags |= 0x0020;  // validate what is typed
  if (statusFlag) flags |= 0x0004;
  return flags;
}

std::u16string SelectionPathForm(const std::u16string& path) {
  if (path.empty()) return path;
  if (path.size() < 4 && path.size() >= 2 && path[1] == u':') return path.size() == 2 ? path + u"\\" : path;
  if (path.back() == u'\\' && path != u"\\") return path.substr(0, path.size() - 1);
  return path;
}

std::u16string DropFirstFolder(std::u16string dir) {
  if (dir == u"\\") return u"";
  const bool rooted = !dir.empty() && dir[0] == u'\\';
  if (rooted) dir.erase(0, 1);
  if (!dir.empty() && dir[0] == u'.') dir.erase(0, 4);  // the "...\" of an earlier round
  const size_t cut = dir.find(u'\\');
  dir = cut == std::u16string::npos ? std::u16string() : u"...\\" + dir.substr(cut + 1);
  return rooted ? u"\\" + dir : dir;
}

std::u16string FitPathToWidth(const std::u16string& text, int width, const TTextWidth& measure) {
  const size_t split = text.find_last_of(u"\\:");
  std::u16string dir = split == std::u16string::npos ? u"" : text.substr(0, split + 1);
  const std::u16string name = split == std::u16string::npos ? text : text.substr(split + 1);
  std::u16string drive;
  if (dir.size() >= 2 && dir[1] == u':') {
    drive = dir.substr(0, 2);
    dir.erase(0, 2);
  }
  std::u16string result = text;
  while ((!dir.empty() || !drive.empty()) && measure(result) > width) {
    if (dir == u"\\...\\") {
      drive.clear();
      dir = u"...\\";
    } else if (dir.empty()) {
      drive.clear();
    } else {
      dir = DropFirstFolder(dir);
    }
    result = drive;
    result += dir;
    result += name;
  }
  return result;
}

std::u16string FitTextToWidth(const std::u16string& text, int width, const TTextWidth& measure) {
  std::u16string result = text, rest = text;
  while (!rest.empty() && measure(result) > width) {
    rest.pop_back();
    result = rest + u"...";
  }
  return result;
}

}  // namespace szsfx
