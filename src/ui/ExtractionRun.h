// The extraction run (Win32): the archive component, the thread the library works on
// while the window thread keeps handling messages, the run's state, the overwrite and
// password questions, the command afterwards and the exit code. The main window starts
// it and shows what it records.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "engine/SevenZip.h"
#include "payload/RunSetup.h"
#include "run/RunLogic.h"
#include "run/RunStatus.h"

namespace szsfx {

constexpr UINT kInvokeMessage = WM_APP + 1;  // lParam: a std::function to run on the window's thread

// Process exit codes: a complete run 0 (nothing needed extracting counts), a failed run
// or a fatal error 1, cancelled by the user at any point 2 (before the run, during it, at
// a question or at the password window).
enum ExitCode : unsigned { kExitOk = 0, kExitFailed = 1, kExitCancelled = 2 };

// A wrong password is asked again this often in all, then the items it fails stay failed.
constexpr int kPasswordTries = 3;

// Idle until the archive is open and listed (Ready); Extracting while the library works;
// Stopping once the user asked it to stop (Cancel, the close box, no password);
// CancelledAtQuestion when the overwrite question was answered Cancel; Finished after
// the outcome.
enum class RunState { Idle, Ready, Extracting, Stopping, CancelledAtQuestion, Finished };

// What the run needs of the window that shows it; called on the window thread.
class IRunView {
 public:
  virtual void PumpMessages() = 0;   // handles the window's pending messages
  virtual void ShowRunStatus() = 0;  // shows what the run recorded, before a question
 protected:
  ~IRunView() = default;
};

// Asks the user for a password (the password window).
class IPasswordQuestion {
 public:
  // False when the user gave none.
  virtual bool AskPassword(const std::u16string& item, std::u16string& password) = 0;
  // The password given was wrong: the next question starts with an empty box.
  virtual void Forget() = 0;

 protected:
  ~IPasswordQuestion() = default;
};

class TExtractionRun final : private ISevenZipEvents {
 public:
  explicit TExtractionRun(TRunSetup& app);
  TExtractionRun(const TExtractionRun&) = delete;
  TExtractionRun& operator=(const TExtractionRun&) = delete;

  // `window` receives kInvokeMessage; its thread is the window thread. Without a window
  // (a silent run) the library works on the calling thread, which asks its questions.
  void Attach(HWND window, IRunView* view);
  void SetPasswordQuestion(IPasswordQuestion* question) { passwordQuestion_ = question; }

  // Opens the archive where it lies, for the list and the run, asking again for a wrong
  // password of encrypted headers. False when it cannot be read or the user gave no
  // password (ExitCode() says which; the library is let go again).
  bool OpenArchive();
  const TSevenZip& Archive() const { return archive_; }

  // A run happens at most once per process: Start makes it Extracting (from then on a
  // stop request counts), Extract extracts the selected items (all when `items` is
  // empty) into `destination`, extracts again what a wrong password failed once the user
  // gave another one, shows the outcome and, after a complete run only, starts the
  // command afterwards.
  void Start(OverwriteChoice choice);
  void Extract(const std::u16string& destination, const std::vector<std::u16string>& items);
  // A silent run, which shows no window of its own: opens the archive, extracts every
  // item into the folder the options name, and returns the exit code. Only a password
  // question may show a window.
  unsigned ExtractSilently();
  // The user asked the run to stop (Cancel, the close box); nothing when none runs.
  void RequestStop();
  // The window closes: without a run that began, the user cancelled.
  void Close();
  // The run cannot start (a silent run's unusable destination): it ends failed.
  void Fail();

  RunState State() const { return state_; }
  bool InProgress() const;  // from the start of Extract to its outcome
  bool CanStart() const { return state_ == RunState::Ready; }
  unsigned ExitCode() const { return exitCode_; }
  TRunStatus& Status() { return status_; }

 private:
  // ISevenZipEvents. Progress and item starts need no round trip to the window thread:
  // they are recorded for the window's next look, and the state is atomic. Only a question
  // to the user (the overwrite question, the password window) makes the library wait,
  // and the component holds none of its locks meanwhile.
  bool OnBegin(const TItemFacts& item, const std::u16string& destination, bool fileExists) override;
  bool OnProgress(uint8_t itemPercent, uint8_t totalPercent) override;
  std::u16string OnPassword(const std::u16string& item) override;

  // The archive where it lies: in the program's own file, behind the payload.
  TArchiveSource ProgramArchive() const;
  bool AskOverwrite(const std::u16string& destination);
  void AskPassword(const std::u16string& item, std::u16string& password);
  // After a pass whose encrypted items failed with the password the user gave: message 51,
  // and the next pass asks again. False when there is nothing to try again.
  bool PrepareAnotherPassword(int tries);
  void Finish(HRes result, uint32_t failures);
  void RunAfterCommand(const std::u16string& destination) const;
  static void StartShown(const std::u16string& line);
  // The library calls back from its own threads too: the questions run on the window
  // thread, which keeps handling messages while the library works.
  void OnWindowThread(const std::function<void()>& work) const;
  void RunWhilePumping(const std::function<void()>& work);

  TRunSetup& app_;
  TArchiveLibrary library_;  // from the work folder; outlives the component, which holds its handler
  TSevenZip archive_;
  std::atomic<RunState> state_{RunState::Idle};  // the library's threads read it
  OverwriteChoice choice_ = OverwriteChoice::Overwrite;
  unsigned exitCode_ = kExitOk;
  bool passwordGiven_ = false;      // the user gave a password in the current library call
  bool passwordCancelled_ = false;  // the user gave none when asked
  TRunStatus status_;               // progress and item, recorded by the library's threads
  HWND window_ = nullptr;
  IRunView* view_ = nullptr;
  DWORD windowThread_ = 0;
  IPasswordQuestion* passwordQuestion_ = nullptr;
};

}  // namespace szsfx
