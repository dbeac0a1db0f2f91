// mksfx: builds a self-extractor from the stub, a library image, message files and a 7z archive.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "payload/PayloadBuilder.h"

using namespace szsfx;

namespace {

const char kUsage[] =
    "usage: mksfx --stub FILE [--library FILE] --archive FILE -o OUTPUT [settings] [messages]\n"
    "\n"
    "  --stub FILE             the stub executable (exactly 223744 bytes)\n"
    "  --library FILE          the archive library image (at most 76288 bytes); default:\n"
    "                          our own library, 7zextract.dll beside the stub file\n"
    "  --archive FILE          the 7z archive\n"
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
    "  --print-messages        print the built-in table as a message file and exit\n";

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

TBuildRequest ParseArguments(int argc, char** argv) {
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
    ApplySetting(r, option, argv[++i], named);
  }
  if (r.StubPath.empty() || r.ArchivePath.empty() || r.OutputPath.empty()) {
    throw Fail{"--stub, --archive and --output are required"};
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
    TBuildRequest request = ParseArguments(argc, argv);
    std::string error = BuildSelfExtractor(request);
    if (!error.empty()) throw Fail{error};
  } catch (const Fail& fail) {
    std::cerr << "mksfx: " << fail.text << "\n";
    return 1;
  }
  return 0;
}
