#include "FromFolder.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <vector>

#ifdef _WIN32
#include <process.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace szsfx {

namespace fs = std::filesystem;

const char kDefaultSevenZipSwitches[] = "-t7z -mx=7 -m0=LZMA2 -ms=on -mqs=on";

namespace {

#ifdef _WIN32
constexpr char kPathListSeparator = ';';
const char kCommandName[] = "7z.exe";
#else
constexpr char kPathListSeparator = ':';
const char kCommandName[] = "7z";
#endif

// Runs `arguments` (the first one a full path) and returns its exit code, or -1 when it
// could not be started.
int RunProgram(const std::vector<std::string>& arguments) {
#ifdef _WIN32
  std::vector<std::string> quoted;
  quoted.reserve(arguments.size());
  for (const std::string& a : arguments)
    quoted.push_back(a.find_first_of(" \t") == std::string::npos ? a : "\"" + a + "\"");
  std::vector<const char*> argv;
  argv.reserve(quoted.size() + 1);
  for (const std::string& a : quoted) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  return static_cast<int>(_spawnv(_P_WAIT, arguments[0].c_str(), argv.data()));
#else
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t child = 0;
  int status = 0;
  if (posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  if (waitpid(child, &status, 0) != child) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

}  // namespace

std::string FindSevenZipCommand() {
  const char* path = std::getenv("PATH");
  std::stringstream folders(path == nullptr ? "" : path);
  std::string folder;
  while (std::getline(folders, folder, kPathListSeparator)) {
    if (folder.empty()) continue;
    std::error_code failed;
    fs::path candidate = fs::path(folder) / kCommandName;
    if (fs::is_regular_file(candidate, failed)) {
#ifndef _WIN32
      if (access(candidate.c_str(), X_OK) != 0) continue;
#endif
      return candidate.string();
    }
  }
  return "";
}

std::string ArchiveFolder(const std::string& folder, const std::string& archive, const std::string& switches) {
  std::error_code failed;
  if (!fs::is_directory(folder, failed)) return "--from-folder: " + folder + " is not a folder";
  if (fs::is_empty(folder, failed)) return "--from-folder: the folder " + folder + " is empty";
  const std::string command = FindSevenZipCommand();
  if (command.empty()) {
    return "--from-folder needs the 7z command and there is none on the PATH (Debian: apt-get install "
           "p7zip-full; Windows: 7-Zip's folder in PATH)";
  }
  std::vector<std::string> arguments = {command, "a", "-bd", "-bso0", "-bsp0"};
  std::stringstream words(switches);
  for (std::string word; words >> word;) arguments.push_back(word);
  arguments.push_back(fs::absolute(archive, failed).string());
  arguments.push_back("*");  // 7-Zip's own wildcard: every item, hidden ones too
  const fs::path before = fs::current_path(failed);
  fs::current_path(folder, failed);
  if (failed) return "--from-folder: cannot enter " + folder;
  const int exitCode = RunProgram(arguments);
  fs::current_path(before, failed);
  if (exitCode != 0) {
    return "the 7z command (" + command + ") could not archive " + folder + " (exit code " + std::to_string(exitCode) +
           "; switches: " + switches + ")";
  }
  return "";
}

TTemporaryFile::TTemporaryFile(std::string path) : path_(std::move(path)) { std::remove(path_.c_str()); }

TTemporaryFile::~TTemporaryFile() { std::remove(path_.c_str()); }

}  // namespace szsfx
