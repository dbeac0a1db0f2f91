// szrun: drives TSevenZip on an archive without any window (a test and benchmark tool).
//   szrun ARCHIVE DEST [--dll-dir DIR] [--select PATH]... [--password TEXT] [--overwrite]
//         [--flat] [--cancel-at PERCENT] [--list] [--quiet] [--peak]
// Prints the events and "result 0x........ errors N"; exits 0 only when both are zero.
// --peak (Linux) also prints the process's peak virtual and resident memory.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "engine/SevenZip.h"
#include "platform/Platform.h"

using namespace szsfx;

namespace {

struct Options {
  std::string archive, destination, dllDir, password;
  std::vector<std::string> selected;
  bool overwrite = false, flat = false, list = false, quiet = false, peak = false;
  int cancelAt = -1;
};

// Printed in the path library's 8-bit form (UTF-8 on Linux).
std::string Narrow(const std::u16string& text) {
  try {
    return std::filesystem::path(text).string();
  } catch (const std::exception&) {
    return "?";
  }
}

bool Parse(int argc, char** argv, Options& o) {
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
    if (a == "--dll-dir")
      o.dllDir = value();
    else if (a == "--select")
      o.selected.push_back(value());
    else if (a == "--password")
      o.password = value();
    else if (a == "--overwrite")
      o.overwrite = true;
    else if (a == "--flat")
      o.flat = true;
    else if (a == "--list")
      o.list = true;
    else if (a == "--quiet")
      o.quiet = true;
    else if (a == "--peak")
      o.peak = true;
    else if (a == "--cancel-at")
      o.cancelAt = std::atoi(value().c_str());
    else
      positional.push_back(a);
  }
  if (positional.size() != 2) return false;
  o.archive = positional[0];
  o.destination = positional[1];
  return true;
}

void Attach(TSevenZip& zip, const Options& o) {
  zip.OnBegin = [&o](const TItemFacts& item, const std::u16string& dest, bool& proceed) {
    if (o.overwrite) proceed = true;
    if (!o.quiet) {
      std::printf("begin %s | %llu bytes, time %llu%s\n", Narrow(dest).c_str(),
                  static_cast<unsigned long long>(item.Size), static_cast<unsigned long long>(item.ModifiedUtc),
                  item.HasTime ? "" : " (none)");
    }
  };
  zip.OnPassword = [&o](const std::u16string& name, std::u16string& password) {
    std::printf("password asked for \"%s\"\n", Narrow(name).c_str());
    password = plat::FromSystemCodePage(o.password);
  };
  zip.OnProgress = [&o](uint8_t file, uint8_t total, bool& cancel) {
    if (!o.quiet) std::printf("progress %u %u\n", file, total);
    if (o.cancelAt >= 0 && total >= o.cancelAt) cancel = true;
  };
}

// "peak virtual N KB resident M KB", from the kernel's account of the process.
void PrintPeakMemory() {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (!status) return;
  char line[256];
  unsigned long virtualKb = 0, residentKb = 0;
  while (std::fgets(line, sizeof line, status)) {
    std::sscanf(line, "VmPeak: %lu", &virtualKb);
    std::sscanf(line, "VmHWM: %lu", &residentKb);
  }
  std::fclose(status);
  std::printf("peak virtual %lu KB resident %lu KB\n", virtualKb, residentKb);
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!Parse(argc, argv, o)) {
    std::fprintf(stderr,
                 "usage: szrun ARCHIVE DEST [--dll-dir DIR] [--select PATH]... [--password TEXT]\n"
                 "             [--overwrite] [--flat] [--cancel-at PERCENT] [--list] [--quiet] [--peak]\n");
    return 2;
  }
  int code = 1;
  {
    TSevenZip zip;
    zip.FileName = plat::FromSystemCodePage(o.archive);
    if (!o.dllDir.empty()) zip.DLLDir = plat::FromSystemCodePage(o.dllDir);
    zip.ExtractBaseDir = plat::FromSystemCodePage(o.destination);
    zip.UseFolderNames = !o.flat;
    for (const std::string& path : o.selected) zip.FileSpec.push_back(plat::FromSystemCodePage(path));
    Attach(zip, o);
    if (o.list) {
      bool opened = zip.OpenArchive();
      std::printf("open %s\n", opened ? "ok" : "failed");
      for (uint32_t i = 0; opened && i < zip.ItemCount(); ++i)
        std::printf("item %s\n", Narrow(zip.ItemPath(i)).c_str());
      zip.CloseArchive();
      code = opened ? 0 : 1;
    } else {
      HRes result = zip.ExtractArchive();
      std::printf("result 0x%08X errors %u\n", static_cast<unsigned>(result), zip.ErrorCount);
      code = result == kOk && zip.ErrorCount == 0 ? 0 : 1;
    }
  }
  ReleaseArchiveLibrary();
  if (o.peak) PrintPeakMemory();
  return code;
}
