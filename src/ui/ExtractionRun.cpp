#include "ui/ExtractionRun.h"

#include <shellapi.h>

#include "platform/PhaseTrace.h"
#include "platform/Platform.h"
#include "ui/AfterCommand.h"
#include "ui/PasswordWindow.h"
#include "ui/ShellCalls.h"
#include "ui/WinHandles.h"
#include "ui/WinText.h"

namespace szsfx {

namespace {

constexpr UINT kOverwriteQuestionStyle = 0x00200023;  // Yes/No/Cancel, question icon, service notification

DWORD WINAPI WorkThread(LPVOID work) {
  (*static_cast<const std::function<void()>*>(work))();
  return 0;
}

}  // namespace

TExtractionRun::TExtractionRun(TRunSetup& app) : app_(app) { HandleEvents(); }

void TExtractionRun::Attach(HWND window, IRunView* view) {
  window_ = window;
  view_ = view;
  windowThread_ = GetCurrentThreadId();
}

// Progress and item starts need no round trip to the window thread: they are recorded
// for the window's next look, and the state is atomic. Only a question to the user (the
// overwrite question, the password window) makes the library wait, and the component
// holds none of its locks meanwhile.
void TExtractionRun::HandleEvents() {
  archive_.OnProgress = [this](uint8_t, uint8_t total, bool& cancel) {
    status_.SetProgress(total);
    cancel = state_ != RunState::Extracting;
  };
  archive_.OnBegin = [this](const TItemFacts&, const std::u16string& destination, bool& replace) {
    OnBegin(destination, replace);
  };
  archive_.OnPassword = [this](const std::u16string& item, std::u16string& password) {
    OnWindowThread([&] { AskPassword(item, password); });
  };
}

bool TExtractionRun::InProgress() const {
  const RunState state = state_;
  return state == RunState::Extracting || state == RunState::Stopping || state == RunState::CancelledAtQuestion;
}

bool TExtractionRun::OpenArchive() {
  // The archive is read in place, behind the payload: no copy costs time or temp space.
  archive_.ArchiveFile = &app_.ProgramFile;
  archive_.FileOffset = app_.ArchiveOffset;
  archive_.DLLDir = app_.WorkFolder;
  for (int tries = 1;; ++tries) {
    bool opened = false;
    passwordGiven_ = false;
    RunWhilePumping([this, &opened] { opened = archive_.OpenArchive(); });  // the open may ask for a password
    plat::TracePhase("archive open");
    if (opened) {
      state_ = RunState::Ready;
      return true;
    }
    if (passwordCancelled_ || !PrepareAnotherPassword(tries)) break;
  }
  exitCode_ = passwordCancelled_ ? kExitCancelled : kExitFailed;
  archive_.CloseArchive();
  archive_.ReleaseHandler();
  return false;
}

bool TExtractionRun::PrepareAnotherPassword(int tries) {
  if (!passwordGiven_ || tries >= kPasswordTries || !passwordWindow_) return false;
  plat::ShowMessageBox(app_.Message(msg::IncorrectPassword), app_.Title, plat::BoxIcon::Error);
  passwordWindow_->Forget();
  return true;
}

void TExtractionRun::Start(const std::u16string& destination, OverwriteChoice choice) {
  if (state_ != RunState::Ready) return;
  // A silent run asks nothing: it overwrites, as option "s" says, unless told to skip.
  choice_ = app_.Silent && choice == OverwriteChoice::Confirm ? OverwriteChoice::Overwrite : choice;
  destination_ = destination;
  state_ = RunState::Extracting;
}

void TExtractionRun::Extract(const std::vector<std::u16string>& items) {
  if (state_ != RunState::Extracting && state_ != RunState::Stopping) return;
  archive_.UseFolderNames = true;
  archive_.ExtractBaseDir = destination_;
  archive_.FileSpec = items;  // the archive listed in the window stays open for the run
  plat::TracePhase("run prepared");
  HRes result = kOk;
  passwordGiven_ = false;
  RunWhilePumping([this, &result] { result = archive_.ExtractArchive(); });
  // Items that failed for another reason stay failed; those a wrong password failed are
  // extracted again with the next one the user gives.
  const auto otherFailures = static_cast<uint32_t>(archive_.ErrorCount - archive_.PasswordFailures.size());
  // An encrypted item that succeeded shows that the password was right: the rest is damage.
  for (int tries = 1; !archive_.PasswordFailures.empty() && archive_.EncryptedDone == 0 &&
                      state_ == RunState::Extracting && PrepareAnotherPassword(tries);
       ++tries) {
    const std::vector<uint32_t> again = archive_.PasswordFailures;
    passwordGiven_ = false;
    RunWhilePumping([this, &result, &again] { result = archive_.ExtractArchive(&again); });
  }
  if (view_) view_->ShowRunStatus();  // the last progress and item, before any outcome message
  plat::TracePhase("extraction");
  plat::TraceCount("progress and item events", status_.Recorded());
  plat::TraceCount("window updates", status_.Taken());
  if (state_ == RunState::CancelledAtQuestion) {
    // The run stops here, without outcome message or command; the program cleans up
    // before it ends.
    exitCode_ = kExitCancelled;
    state_ = RunState::Finished;
    return;
  }
  Finish(result, otherFailures + archive_.ErrorCount);
  // An installer never starts over an incomplete or cancelled extraction.
  if (exitCode_ == kExitOk && !app_.RunCommand.empty()) RunAfterCommand(destination_);
  state_ = RunState::Finished;
}

void TExtractionRun::RequestStop() {
  RunState running = RunState::Extracting;
  state_.compare_exchange_strong(running, RunState::Stopping);
}

void TExtractionRun::Close() {
  const RunState state = state_;
  if (state != RunState::Idle && state != RunState::Ready) return;
  exitCode_ = kExitCancelled;
  state_ = RunState::Finished;
}

void TExtractionRun::Fail() {
  exitCode_ = kExitFailed;
  state_ = RunState::Finished;
}

// The outcome: a failed item or a failed library call fails the run; a run the user
// stopped without failures ends as cancelled. A silent run shows neither message.
// Without a password from the user, whatever failed before, the user said stop.
void TExtractionRun::Finish(HRes result, uint32_t failures) {
  const bool stopped = state_ == RunState::Stopping;
  const bool failed = failures != 0 || (result != kOk && !stopped);
  if (stopped && (passwordCancelled_ || !failed)) {
    exitCode_ = kExitCancelled;
  } else if (failed) {
    ShowUnlessSilent(app_, app_.Message(msg::ExtractFailed), app_.Title, plat::BoxIcon::Information);
    exitCode_ = kExitFailed;
  } else if (app_.Settings.ShowDoneMessage == 1) {
    ShowUnlessSilent(app_, app_.Message(msg::Done), std::u16string(kFixedCaption), plat::BoxIcon::Information);
  }
  plat::TracePhase("outcome");
}

// Decides about an existing file before any byte of the item is written; `replace` comes
// in true when no file exists there. The archive component replaces the file only once
// the item is complete. Runs on the library's thread: only the question goes to the
// window's.
void TExtractionRun::OnBegin(const std::u16string& destination, bool& replace) {
  status_.SetItem(destination);
  if (state_ != RunState::Extracting || replace) return;
  switch (ActionForExistingFile(choice_)) {
    case ExistingFileAction::Keep:
      return;
    case ExistingFileAction::Delete:
      replace = true;
      return;
    case ExistingFileAction::Ask:
      break;
  }
  OnWindowThread([&] { AskOverwrite(destination, replace); });
}

void TExtractionRun::AskOverwrite(const std::u16string& destination, bool& replace) {
  if (view_) view_->ShowRunStatus();  // the question's item is the one the window shows
  const std::wstring question = W(OverwriteQuestion(destination, app_.Message(msg::OverwriteQuestion)));
  switch (MessageBoxW(nullptr, question.c_str(), W(std::u16string(kFixedCaption)).c_str(), kOverwriteQuestionStyle)) {
    case IDYES:
      replace = true;
      break;
    case IDCANCEL:
      state_ = RunState::CancelledAtQuestion;
      archive_.RequestCancel(true);  // the library ends its extraction
      break;
    default:
      break;
  }
}

// No password given: the run ends as a stopped one, at once (no further item is opened).
void TExtractionRun::AskPassword(const std::u16string& item, std::u16string& password) {
  if (passwordWindow_ && passwordWindow_->AskPassword(item, password)) {
    passwordGiven_ = true;
    return;
  }
  passwordCancelled_ = true;
  RequestStop();
  archive_.RequestCancel(true);
  password.clear();
}

void TExtractionRun::RunAfterCommand(const std::u16string& destination) const {
  const TAfterCommand command = PlanAfterCommand(destination, app_.RunCommand, app_.CommandLength);
  if (command.What == TAfterCommand::Kind::Open) {
    PrepareShellCalls();
    ShellExecuteW(nullptr, L"open", W(command.Text).c_str(), W(command.Parameters).c_str(), W(command.Folder).c_str(),
                  SW_SHOW);
  } else if (command.What == TAfterCommand::Kind::Inf) {
    StartShown(InfCommandLine(plat::SystemFolder(), command.Text));
  }
}

// Starts a command line as the system's WinExec does, but in UTF-16, so that an INF file
// in a folder outside the code page is found.
void TExtractionRun::StartShown(const std::u16string& line) {
  std::wstring text = W(line);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION started{};
  if (CreateProcessW(nullptr, &text[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
    TKernelHandle thread(started.hThread), process(started.hProcess);  // nothing waits for it
  }
}

void TExtractionRun::OnWindowThread(const std::function<void()>& work) const {
  if (GetCurrentThreadId() == windowThread_ || !window_) {
    work();
  } else {
    SendMessageW(window_, kInvokeMessage, 0, reinterpret_cast<LPARAM>(&work));
  }
}

// Runs a call into the archive library on a thread of its own while this thread handles
// the window, the questions (sent here from the library's threads) included. Without a
// thread the call runs here: the component holds no lock across a question, so the
// questions then simply run inline.
void TExtractionRun::RunWhilePumping(const std::function<void()>& work) {
  TKernelHandle thread(CreateThread(nullptr, 0, &WorkThread, const_cast<std::function<void()>*>(&work), 0, nullptr));
  if (!thread) {
    work();
    return;
  }
  HANDLE handle = thread.Get();
  while (MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
    if (view_) view_->PumpMessages();
  }
}

}  // namespace szsfx
