#include "ui/ExtractionRun.h"

#include "platform/PhaseTrace.h"
#include "platform/Platform.h"
#include "run/AfterCommand.h"
#include "ui/ShellCalls.h"
#include "ui/WinHandles.h"
#include "ui/WinText.h"

namespace szsfx {

namespace {

DWORD WINAPI WorkThread(LPVOID work) {
  (*static_cast<const std::function<void()>*>(work))();
  return 0;
}

}  // namespace

TExtractionRun::TExtractionRun(TRunSetup& app) : app_(app), library_(app.WorkFolder), archive_(library_) {}

void TExtractionRun::Attach(HWND window, IRunView* view) {
  window_ = window;
  view_ = view;
  windowThread_ = GetCurrentThreadId();
}

bool TExtractionRun::OnProgress(uint8_t, uint8_t totalPercent) {
  status_.SetProgress(totalPercent);
  return state_ == RunState::Extracting;
}

std::u16string TExtractionRun::OnPassword(const std::u16string& item) {
  std::u16string password;
  OnWindowThread([&] { AskPassword(item, password); });
  return password;
}

bool TExtractionRun::InProgress() const {
  const RunState state = state_;
  return state == RunState::Extracting || state == RunState::Stopping || state == RunState::CancelledAtQuestion;
}

// The archive is read in place, behind the payload: no copy costs time or temp space.
TArchiveSource TExtractionRun::ProgramArchive() const {
  return TArchiveSource{u"", &app_.ProgramFile, app_.ArchiveOffset};
}

bool TExtractionRun::OpenArchive() {
  const TArchiveSource source = ProgramArchive();
  for (int tries = 1;; ++tries) {
    bool opened = false;
    passwordGiven_ = false;
    RunWhilePumping([&] { opened = archive_.Open(source, *this); });  // the open may ask for a password
    plat::TracePhase("archive open");
    if (opened) {
      state_ = RunState::Ready;
      return true;
    }
    if (passwordCancelled_ || !PrepareAnotherPassword(tries)) break;
  }
  exitCode_ = passwordCancelled_ ? kExitCancelled : kExitFailed;
  archive_.Close();
  return false;
}

bool TExtractionRun::PrepareAnotherPassword(int tries) {
  if (!passwordGiven_ || tries >= kPasswordTries || !passwordQuestion_) return false;
  plat::ShowMessageBox(app_.Message(msg::kIncorrectPassword), app_.Title, plat::BoxIcon::Error);
  passwordQuestion_->Forget();
  return true;
}

void TExtractionRun::Start(OverwriteChoice choice) {
  if (state_ != RunState::Ready) return;
  // A silent run asks nothing: it overwrites, as option "s" says, unless told to skip.
  choice_ = app_.Silent && choice == OverwriteChoice::Confirm ? OverwriteChoice::Overwrite : choice;
  state_ = RunState::Extracting;
}

void TExtractionRun::Extract(const std::u16string& destination, const std::vector<std::u16string>& items) {
  if (state_ != RunState::Extracting && state_ != RunState::Stopping) return;
  // The archive listed in the window stays open for the run.
  TExtractRequest request;
  request.Source = ProgramArchive();
  request.Destination = destination;
  request.Selection = items;
  plat::TracePhase("run prepared");
  TExtractOutcome outcome;
  passwordGiven_ = false;
  RunWhilePumping([&] { outcome = archive_.Extract(request, *this); });
  // Items that failed for another reason stay failed; those a wrong password failed are
  // extracted again with the next one the user gives.
  const auto otherFailures = static_cast<uint32_t>(outcome.ErrorCount - outcome.PasswordFailures.size());
  // An encrypted item that succeeded shows that the password was right: the rest is damage.
  for (int tries = 1; !outcome.PasswordFailures.empty() && outcome.EncryptedDone == 0 &&
                      state_ == RunState::Extracting && PrepareAnotherPassword(tries);
       ++tries) {
    request.Only = outcome.PasswordFailures;
    passwordGiven_ = false;
    RunWhilePumping([&] { outcome = archive_.Extract(request, *this); });
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
  Finish(outcome.Result, otherFailures + outcome.ErrorCount);
  // An installer never starts over an incomplete or cancelled extraction.
  if (exitCode_ == kExitOk && !app_.RunCommand.empty()) RunAfterCommand(destination);
  state_ = RunState::Finished;
}

unsigned TExtractionRun::ExtractSilently() {
  if (!OpenArchive()) return exitCode_;
  const std::u16string& destination = app_.ExtractFolder;
  if (DestinationProblem(destination) != 0) {
    Fail();  // nobody is there to give another folder
    return exitCode_;
  }
  Start(ChoiceForOverwriteMode(app_.Settings.OverwriteMode));
  Extract(destination, {});
  return exitCode_;
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
    ShowUnlessSilent(app_, app_.Message(msg::kExtractFailed), app_.Title, plat::BoxIcon::Information);
    exitCode_ = kExitFailed;
  } else if (app_.Settings.ShowDoneMessage == 1) {
    ShowUnlessSilent(app_, app_.Message(msg::kDone), std::u16string(kFixedCaption), plat::BoxIcon::Information);
  }
  plat::TracePhase("outcome");
}

// Decides about an existing file before any byte of the item is written. The archive
// component replaces the file only once the item is complete. Runs on the library's
// thread: only the question goes to the window's.
bool TExtractionRun::OnBegin(const TItemFacts&, const std::u16string& destination, bool fileExists) {
  status_.SetItem(destination);
  if (!fileExists) return true;
  if (state_ != RunState::Extracting) return false;
  switch (ActionForExistingFile(choice_)) {
    case ExistingFileAction::Keep:
      return false;
    case ExistingFileAction::ReplaceOnceComplete:
      return true;
    case ExistingFileAction::Ask:
      break;
  }
  bool replace = false;
  OnWindowThread([&] { replace = AskOverwrite(destination); });
  return replace;
}

// True when the user allowed the file's replacement.
bool TExtractionRun::AskOverwrite(const std::u16string& destination) {
  if (view_) view_->ShowRunStatus();  // the question's item is the one the window shows
  switch (plat::ShowMessageBox(OverwriteQuestion(destination, app_.Message(msg::kOverwriteQuestion)),
                               std::u16string(kFixedCaption), plat::BoxIcon::Question, plat::BoxButtons::YesNoCancel)) {
    case plat::BoxAnswer::Yes:
      return true;
    case plat::BoxAnswer::Cancel:
      state_ = RunState::CancelledAtQuestion;
      archive_.RequestCancel(true);  // the library ends its extraction
      return false;
    default:
      return false;
  }
}

// No password given: the run ends as a stopped one, at once (no further item is opened).
void TExtractionRun::AskPassword(const std::u16string& item, std::u16string& password) {
  if (passwordQuestion_ && passwordQuestion_->AskPassword(item, password)) {
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
    shell::Execute(L"open", W(command.Text).c_str(), W(command.Parameters).c_str(), W(command.Folder).c_str(), SW_SHOW);
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
// window to keep answering, or without a thread, the call runs here: the component holds
// no lock across a question, so the questions then simply run inline.
void TExtractionRun::RunWhilePumping(const std::function<void()>& work) {
  if (!view_) {
    work();
    return;
  }
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
