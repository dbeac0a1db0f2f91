// A program for the tests: writes its working folder and its command-line arguments
// to "marker.txt" beside itself (UTF-8), so that a test can see how it was started.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

std::wstring ModulePath() {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size())));
  return path;
}

std::wstring CurrentFolder() {
  std::wstring path(GetCurrentDirectoryW(0, nullptr), L'\0');
  path.resize(GetCurrentDirectoryW(static_cast<DWORD>(path.size()), &path[0]));
  return path;
}

}  // namespace

int main() {
  const std::wstring self = ModulePath();
  const std::wstring folder = self.substr(0, self.find_last_of(L'\\') + 1);
  // The arguments: the command line after the program's own (possibly quoted) name.
  const std::wstring line = GetCommandLineW();
  const size_t start = line[0] == L'"' ? line.find(L'"', 1) + 1 : line.find(L' ');
  std::wstring args = start == std::wstring::npos || start >= line.size() ? L"" : line.substr(start);
  while (!args.empty() && args[0] == L' ') args.erase(0, 1);
  FILE* out = _wfopen((folder + L"marker.txt").c_str(), L"wb");
  if (!out) return 1;
  std::fprintf(out, "cwd=%s\nargs=%s\n", Utf8(CurrentFolder()).c_str(), Utf8(args).c_str());
  std::fclose(out);
  return 0;
}
