// A program for the tests: writes its working folder and its command-line arguments
// to "marker.txt" beside itself, so that a test can see how it was started.
#include <windows.h>

#include <cstdio>
#include <string>

int main() {
  char self[MAX_PATH], cwd[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  GetCurrentDirectoryA(MAX_PATH, cwd);
  std::string folder(self);
  folder = folder.substr(0, folder.find_last_of('\\') + 1);
  // The arguments: the command line after the program's own (possibly quoted) name.
  std::string line = GetCommandLineA();
  size_t start = line[0] == '"' ? line.find('"', 1) + 1 : line.find(' ');
  std::string args = start == std::string::npos || start >= line.size() ? "" : line.substr(start);
  while (!args.empty() && args[0] == ' ') args.erase(0, 1);
  FILE* out = std::fopen((folder + "marker.txt").c_str(), "w");
  if (!out) return 1;
  std::fprintf(out, "cwd=%s\nargs=%s\n", cwd, args.c_str());
  std::fclose(out);
  return 0;
}
