// mksfx: builds a self-extractor from the stub, a library image, message files and a 7z
// archive (or a folder archived by the 7z command), with the publisher's icon, version
// information and execution level in the stub's resources.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "FromFolder.h"
#include "payload/PayloadBuilder.h"
#include "payload/StubImage.h"

using namespace szsfx;

namespace {

const char kUsage[] =
    "usage: mksfx --stub FILE [--library FILE] (--archive FILE | --from-folder DIR) -o OUTPUT\n"
    "             [settings] [messages] [publisher's resources]\n"
    "\n"
    "  --stub FILE             the stub executable (exactly 223744 bytes)\n"
    "  --library FILE          the archive library image (at most 76288 bytes); default:\n"
    "                          our own library, 7zextract.dll beside the stub file\n"
    "  --archive FILE          the 7z archive\n"
    "  --from-folder DIR       archive DIR's contents with the 7z command on the PATH instead\n"
    "  --7z-switches TEXT      the 7z command's switches for --from-folder (default:\n"
    "                          \"-t7z -mx=7 -m0=LZMA2 -ms=on -mqs=on\"; e.g. add -mhe=on -pSECRET)\n"
    "  -o, --output FILE       the self-extractor to write\n"
    "  --codepage N            the Windows code page of the stub's texts (default 1252);\n"
    "                          texts and message files are read as UTF-8 and written in it\n"
    "settings record (text limits count bytes in the code page):\n"
    "  --title TEXT            window title (up to 100 characters)\n"
    "  --folder-mode N         0 the given folder, 1 the temp folder, 2 program files\n"
    "  --folder TEXT           extraction folder, may hold folder macros (up to 255)\n"
    "  --overwrite N           0 overwrite, 1 skip, 2 confirm (default 2)\n"
    "  --run TEXT              command run after extraction (up to 100 characters)\n"
    "  --hide-overwrite N      1 hides the overwrite-mode group\n"
    "  --auto-extract N        1 starts extraction at once\n"
    "  --done-message N        1 shows a message after a successful extraction\n"
    "  --hide-file-list N      non-zero hides the file list\n"
    "  --archive-name TEXT     name recorded for the archive (default: its file name)\n"
    "  --signature TEXT        signature (default BSZ; other values are for tests)\n"
    "messages (one block each, in order; default: the built-in English table):\n"
    "  --messages FILE         a message file: one message per line, escapes \\r \\n \\t \\\\ \\xHH\n"
    "  --raw-block FILE        a block's string area taken byte for byte\n"
    "  --print-messages        print the built-in table as a message file and exit\n"
    "publisher's resources (the stub's resources are rebuilt inside its fixed size):\n"
    "  --icon FILE             the program's icon, an .ico file\n"
    "  --version KEY=VALUE     a version text, repeatable; keys: product-name, company,\n"
    "                          description, file-version, product-version (a.b.c.d, also the\n"
    "                          numeric versions), copyright, original-name\n"
    "  --elevation LEVEL       as-invoker (default), highest-available, require-administrator\n";

// The version texts by their option keys.
const std::pair<const char*, const char*> kVersionKeys[] = {
    {"product-name", "ProductName"},       {"company", "CompanyName"},
    {"description", "FileDescription"},    {"file-version", "FileVersion"},
    {"product-version", "ProductVersion"}, {"copyright", "LegalCopyright"},
    {"original-name", "OriginalFilename"}};

const std::pair<const char*, const char*> kElevationLevels[] = {{"as-invoker", "asInvoker"},
                                                                {"highest-available", "highestAvailable"},
                                                                {"require-administrator", "requireAdministrator"}};

struct Fail {
  std::string text;
};

bool ReadWholeFile(const std::string& path, std::string& data) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  data = s.str();
  return true;
}

long Number(const std::string& option, const std::string& text, long low, long high) {
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, 0);
  if (text.empty() || *end != '\0' || value < low || value > high) {
    throw Fail{option + " takes a number from " + std::to_string(low) + " to " + std::to_string(high)};
  }
  return value;
}

unsigned codePage = kDefaultCodePage;

template <size_t N>
void SetText(ShortString<N>& field, const std::string& option, const std::string& utf8) {
  std::string error;
  const std::string text = InCodePage(utf8, codePage, option, error);
  if (!error.empty()) throw Fail{error};
  if (text.size() > N) {
    throw Fail{option + " takes at most " + std::to_string(N) + " characters (bytes in code page " +
               std::to_string(codePage) + ")"};
  }
  field.Set(text);
}

std::vector<uint8_t> MessageBlock(const std::string& path) {
  std::string text, error;
  if (!ReadWholeFile(path, text)) throw Fail{"cannot read the message file " + path};
  std::vector<std::string> messages = ParseMessageText(text, error, codePage);
  std::vector<uint8_t> area = error.empty() ? StringArea(messages, error) : std::vector<uint8_t>();
  if (!error.empty()) throw Fail{path + ": " + error};
  return area;
}

std::vector<uint8_t> RawBlock(const std::string& path) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) throw Fail{"cannot read the block file " + path};
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

// Our own archive library, built beside the stub of the same architecture.
std::string LibraryBesideStub(const std::string& stubPath) {
  size_t cut = stubPath.find_last_of("/\\");
  return (cut == std::string::npos ? std::string() : stubPath.substr(0, cut + 1)) + "7zextract.dll";
}

std::string BaseName(const std::string& path) {
  size_t cut = path.find_last_of("/\\:");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// What mksfx does besides the payload: the stub's resources, the archive from a folder.
struct TPublisherOptions {
  TStubResourceChanges Resources;
  std::string IconPath, Folder, SevenZipSwitches = kDefaultSevenZipSwitches;
};

void ApplyPublisherOption(TPublisherOptions& p, const std::string& o, const std::string& v) {
  if (o == "--icon") {
    p.IconPath = v;
  } else if (o == "--from-folder") {
    p.Folder = v;
  } else if (o == "--7z-switches") {
    p.SevenZipSwitches = v;
  } else if (o == "--elevation") {
    for (const auto& [option, level] : kElevationLevels)
      if (v == option) p.Resources.ExecutionLevel = level;
    if (p.Resources.ExecutionLevel.empty())
      throw Fail{"--elevation takes as-invoker, highest-available or require-administrator"};
  } else {  // --version
    const size_t equals = v.find('=');
    const std::string key = v.substr(0, equals);
    const char* name = nullptr;
    for (const auto& [option, resourceName] : kVersionKeys)
      if (key == option) name = resourceName;
    if (equals == std::string::npos || name == nullptr)
      throw Fail{
          "--version takes KEY=VALUE with KEY one of product-name, company, description, file-version, "
          "product-version, copyright, original-name"};
    p.Resources.VersionStrings.emplace_back(name, v.substr(equals + 1));
  }
}

bool IsPublisherOption(const std::string& o) {
  return o == "--icon" || o == "--from-folder" || o == "--7z-switches" || o == "--elevation" || o == "--version";
}

void ApplySetting(TBuildRequest& r, const std::string& o, const std::string& v, bool& named) {
  TSettingsRecord& s = r.Settings;
  if (o == "--stub")
    r.StubPath = v;
  else if (o == "--library")
    r.LibraryPath = v;
  else if (o == "--archive")
    r.ArchivePath = v;
  else if (o == "-o" || o == "--output")
    r.OutputPath = v;
  else if (o == "--title")
    SetText(s.Title, o, v);
  else if (o == "--folder-mode")
    s.FolderMode = static_cast<uint8_t>(Number(o, v, 0, 255));
  else if (o == "--folder")
    SetText(s.ExtractFolder, o, v);
  else if (o == "--overwrite")
    s.OverwriteMode = static_cast<uint8_t>(Number(o, v, 0, 255));
  else if (o == "--run")
    SetText(s.RunCommand, o, v);
  else if (o == "--hide-overwrite")
    s.HideOverwriteGroup = static_cast<uint8_t>(Number(o, v, 0, 255));
  else if (o == "--auto-extract")
    s.AutoExtract = static_cast<uint8_t>(Number(o, v, 0, 255));
  else if (o == "--done-message")
    s.ShowDoneMessage = static_cast<int32_t>(Number(o, v, INT32_MIN, INT32_MAX));
  else if (o == "--hide-file-list")
    s.HideFileList = static_cast<int32_t>(Number(o, v, INT32_MIN, INT32_MAX));
  else if (o == "--archive-name") {
    SetText(s.ArchiveName, o, v);
    named = true;
  } else if (o == "--signature")
    SetText(s.Signature, o, v);
  else if (o == "--messages")
    r.Areas.push_back(MessageBlock(v));
  else if (o == "--raw-block")
    r.Areas.push_back(RawBlock(v));
  else if (o == "--codepage") {
  }  // taken before the other options
  else
    throw Fail{"unknown option " + o};
}

TBuildRequest ParseArguments(int argc, char** argv, TPublisherOptions& publisher) {
  TBuildRequest r;
  r.Settings = DefaultSettings();
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--codepage") == 0)
      codePage = static_cast<unsigned>(Number(argv[i], argv[i + 1], 1, 65535));
  }
  bool named = false;
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    if (i + 1 >= argc) throw Fail{"option " + option + " needs a value"};
    if (IsPublisherOption(option))
      ApplyPublisherOption(publisher, option, argv[++i]);
    else
      ApplySetting(r, option, argv[++i], named);
  }
  if (r.StubPath.empty() || r.ArchivePath.empty() == publisher.Folder.empty() || r.OutputPath.empty()) {
    throw Fail{"--stub, --output and one of --archive and --from-folder are required"};
  }
  if (!publisher.IconPath.empty()) {
    std::string icon;
    if (!ReadWholeFile(publisher.IconPath, icon) || icon.empty())
      throw Fail{"cannot read the icon " + publisher.IconPath};
    publisher.Resources.IconFile.assign(icon.begin(), icon.end());
  }
  if (!publisher.Folder.empty()) {
    std::string folder = publisher.Folder;
    while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
    r.ArchivePath = BaseName(folder) + ".7z";  // the name recorded unless --archive-name names one
  }
  if (r.LibraryPath.empty()) r.LibraryPath = LibraryBesideStub(r.StubPath);
  if (!named) SetText(r.Settings.ArchiveName, "--archive-name", BaseName(r.ArchivePath).substr(0, 255));
  if (r.Areas.empty()) {
    std::string error;
    r.Areas.push_back(StringArea(DefaultMessages(), error));
  }
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--print-messages") == 0) {
    std::cout << FormatMessageText(DefaultMessages());
    return 0;
  }
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
    std::cout << kUsage;
    return argc < 2 ? 2 : 0;
  }
  try {
    TPublisherOptions publisher;
    TBuildRequest request = ParseArguments(argc, argv, publisher);
    // The stub's resources first: an icon that does not fit is refused before the 7z
    // command runs or anything is written.
    TTemporaryFile changedStub(request.OutputPath + ".stub.part");
    if (publisher.Resources.Any()) {
      std::string stub;
      if (!ReadWholeFile(request.StubPath, stub)) throw Fail{"cannot read the stub " + request.StubPath};
      std::vector<uint8_t> image(stub.begin(), stub.end());
      std::string error = ChangeStubResources(image, publisher.Resources);
      if (!error.empty()) throw Fail{error};
      std::ofstream out(changedStub.Path(), std::ios::binary);
      out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
      if (!out.flush()) throw Fail{"cannot write " + changedStub.Path()};
      request.StubPath = changedStub.Path();
      request.ImageChecksum = true;  // over the whole output, summed as it is written
    }
    TTemporaryFile folderArchive(request.OutputPath + ".7z.part");
    if (!publisher.Folder.empty()) {
      std::string error = ArchiveFolder(publisher.Folder, folderArchive.Path(), publisher.SevenZipSwitches);
      if (!error.empty()) throw Fail{error};
      request.ArchivePath = folderArchive.Path();
    }
    const std::string error = BuildSelfExtractor(request);
    if (!error.empty()) throw Fail{error};
  } catch (const Fail& fail) {
    std::cerr << "mksfx: " << fail.text << "\n";
    return 1;
  }
  return 0;
}
