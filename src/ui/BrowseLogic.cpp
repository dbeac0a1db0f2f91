#include "ui/BrowseLogic.h"

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

std::string SelectionPathForm(const std::string& path) {
  if (path.empty()) return path;
  if (path.size() < 4 && path.size() >= 2 && path[1] == ':') return path.size() == 2 ? path + "\\" : path;
  if (path.back() == '\\' && path != "\\") return path.substr(0, path.size() - 1);
  return path;
}

std::string DropFirstFolder(std::string dir) {
  if (dir == "\\") return "";
  const bool rooted = !dir.empty() && dir[0] == '\\';
  if (rooted) dir.erase(0, 1);
  if (!dir.empty() && dir[0] == '.') dir.erase(0, 4);  // the "...\" of an earlier round
  const size_t cut = dir.find('\\');
  dir = cut == std::string::npos ? std::string() : "...\\" + dir.substr(cut + 1);
  return rooted ? "\\" + dir : dir;
}

std::string FitPathToWidth(const std::string& text, int width, const TTextWidth& measure) {
  const size_t split = text.find_last_of("\\:");
  std::string dir = split == std::string::npos ? "" : text.substr(0, split + 1);
  const std::string name = split == std::string::npos ? text : text.substr(split + 1);
  std::string drive;
  if (dir.size() >= 2 && dir[1] == ':') {
    drive = dir.substr(0, 2);
    dir.erase(0, 2);
  }
  std::string result = text;
  while ((!dir.empty() || !drive.empty()) && measure(result) > width) {
    if (dir == "\\...\\") {
      drive.clear();
      dir = "...\\";
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

std::string FitTextToWidth(const std::string& text, int width, const TTextWidth& measure) {
  std::string result = text, rest = text;
  while (!rest.empty() && measure(result) > width) {
    rest.pop_back();
    result = rest + "...";
  }
  return result;
}

}  // namespace szsfx
