// szrun: drives TSevenZip on an archive without any window (a test and benchmark tool).
//   szrun ARCHIVE DEST [--dll-dir DIR] [--select PATH]... [--password TEXT] [--overwrite]
//         [--flat] [--cancel-at PERCENT] [--list] [--quiet] [--peak]
// Prints the events and "result 0x........ errors N"; exits 0 only when both are zero.
// An archive the library refuses is reported as "open failed: REASON" first (the
// reason where the library gives one).
// --peak (Linux) also prints the process's peak virtual and resident memory.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "engine/Library.h"
#include "engine/SevenZip.h"
#include "platform/Paths.h"
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

// Prints what the component reports, answers its questions from the options.
class TPrintingEvents final : public ISevenZipEvents {
 public:
  explicit TPrintingEvents(const Options& o) : o_(o) {}

  bool OnBegin(const TItemFacts& item, const std::u16string& destination, bool fileExists) override {
    if (!o_.quiet) {
      std::printf("begin %s | %llu bytes, time %llu%s\n", Narrow(destination).c_str(),
                  static_cast<unsigned long long>(item.Size), static_cast<unsigned long long>(item.ModifiedUtc),
                  item.HasTime ? "" : " (none)");
    }
    return !fileExists || o_.overwrite;
  }
  bool OnProgress(uint8_t itemPercent, uint8_t totalPercent) override {
    if (!o_.quiet) std::printf("progress %u %u\n", itemPercent, totalPercent);
    return o_.cancelAt < 0 || totalPercent < o_.cancelAt;
  }
  std::u16string OnPassword(const std::u16string& item) override {
    std::printf("password asked for \"%s\"\n", Narrow(item).c_str());
    return plat::FromSystemCodePage(o_.password);
  }

 private:
  const Options& o_;
};

// The folder of the running program, with its separator.
std::u16string ProgramFolder() {
  const std::u16string path = plat::ModuleFileName();
  size_t cut = path.size();
  while (cut > 0 && !plat::IsPathSeparator(path[cut - 1]) && path[cut - 1] != u':') --cut;
  return path.substr(0, cut);
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
  const TArchiveLibrary library(o.dllDir.empty() ? ProgramFolder() : plat::FromSystemCodePage(o.dllDir));
  TSevenZip zip(library);
  TPrintingEvents events(o);
  TExtractRequest request;
  request.Source.FileName = plat::FromSystemCodePage(o.archive);
  request.Destination = plat::FromSystemCodePage(o.destination);
  request.UseFolderNames = !o.flat;
  for (const std::string& path : o.selected) request.Selection.push_back(plat::FromSystemCodePage(path));
  // The open comes first, as in the stub (which lists the archive before the run), so
  // that a refused archive is reported with the library's reason where it gives one.
  const bool opened = zip.Open(request.Source, events);
  if (!opened) std::printf("open failed: %s\n", Narrow(zip.OpenRefusal()).c_str());
  int code = opened ? 0 : 1;
  if (o.list) {
    if (opened) std::printf("open ok\n");
    for (uint32_t i = 0; opened && i < zip.ItemCount(); ++i) std::printf("item %s\n", Narrow(zip.ItemPath(i)).c_str());
    zip.Close();
  } else if (!opened) {
    std::printf("result 0x%08X errors 0\n", static_cast<unsigned>(kFailure));
  } else {
    const TExtractOutcome outcome = zip.Extract(request, events);
    std::printf("result 0x%08X errors %u\n", static_cast<unsigned>(outcome.Result), outcome.ErrorCount);
    code = outcome.Result == kOk && outcome.ErrorCount == 0 ? 0 : 1;
  }
  if (o.peak) PrintPeakMemory();
  return code;
}
