#include "run/AfterCommand.h"

#include "platform/Platform.h"

namespace szsfx {

namespace {

std::u16string WithBackslash(std::u16string path) {
  if (path.empty() || path.back() != u'\\') path += u'\\';
  return path;
}

bool EndsWithInf(const std::u16string& text) {
  return text.size() >= 4 && plat::LowerCase(text.substr(text.size() - 4)) == u".inf";
}

}  // namespace

TAfterCommand PlanAfterCommand(const std::u16string& destination, const std::u16string& runCommand, int commandLength) {
  TAfterCommand command;
  if (runCommand.empty()) return command;
  std::u16string program = runCommand, arguments;
  if (commandLength >= 0 && static_cast<size_t>(commandLength) <= runCommand.size()) {
    program = runCommand.substr(0, static_cast<size_t>(commandLength));
    arguments = runCommand.substr(static_cast<size_t>(commandLength));
    if (!arguments.empty() && arguments[0] == u' ') arguments.erase(0, 1);
    if (program.empty()) return command;  // arguments without a program: nothing to start
  }
  const std::u16string text = WithBackslash(destination) + program;
  if (text.size() <= 4) return command;
  command.Text = text;
  if (EndsWithInf(text)) {
    command.What = TAfterCommand::Kind::Inf;
    return command;
  }
  command.What = TAfterCommand::Kind::Open;
  command.Parameters = arguments;
  command.Folder = text.substr(0, text.find_last_of(u"\\:") + 1);
  return command;
}

std::u16string InfCommandLine(const std::u16string& systemFolder, const std::u16string& infPath) {
  return WithBackslash(systemFolder) + u"rundll32.exe setupapi.dll,InstallHinfSection DefaultInstall 132 " + infPath;
}

}  // namespace szsfx
