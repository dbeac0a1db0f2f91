// The builder's default English message table, indices 0 to 65.
#include "payload/PayloadBuilder.h"

namespace szsfx {

const std::vector<std::string>& DefaultMessages() {
  // Long messages are split over several literals on purpose.
  // NOLINTBEGIN(bugprone-suspicious-missing-comma)
  static const std::vector<std::string> messages = {
      /* 0 */
      "\x33\x19\x32\x59"
      "Warning, this is a BETA edition of the CAB SFX.  The stability of this software "
      "cannot be guaranteed.",
      /* 1 */ "Please insert disk %i",
      /* 2 */
      "This disk does not contain %s.\r\nPlease insert disk %i with this file on it or "
      "click Cancel to abort.",
      /* 3 */ "Please wait, initialising. . .",
      /* 4 */ "Aborting. . .",
      /* 5 */ "&Extract",
      /* 6 */ "&Cancel",
      /* 7 */ "&Help",
      /* 8 */ "&About",
      /* 9 */ "&OK",
      /* 10 */ "&Skip",
      /* 11 */ "O&pen with %s",
      /* 12 */ "&New...",
      /* 13 */ "&Yes",
      /* 14 */ "&No",
      /* 15 */ "Create New Folder",
      /* 16 */ "Current Folder:",
      /* 17 */ "Select a folder to extract to",  // the folder dialog's caption
      /* 18 */ "Self-Extracting Archive",
      /* 19 */ "Brambleloader",
      /* 20 */ "E&xtract To:",
      /* 21 */ "&Files to Extract:",
      /* 22 */ "Created with Brambleloader  --  " + std::string(kMakerAddress),
      /* 23 */ "Please select a folder to extract to. . .",
      /* 24 */ "&Existing Files - Overwrite Mode",
      /* 25 */ "C&onfirm",
      /* 26 */ "&Skip",
      /* 27 */ "O&verwrite",
      /* 28 */ "This file exists.  Overwrite?",
      /* 29 */ "Don't &ask again",
      /* 30 */ "Out of memory.\r\nTry closing some other programs.",
      /* 31 */
      "Incorrect MPV version for this stub [internal error].  Try to download this file "
      "again.",
      /* 32 */ "Unable to launch program",
      /* 33 */ "Cannot open file",
      /* 34 */ "Cannot close the file",
      /* 35 */ "Error..",
      /* 36 */ "...already exists, overwrite?",
      /* 37 */ "Error reading archive.",
      /* 38 */ "Invalid filename.",
      /* 39 */ "Error in directory ..",
      /* 40 */ "The destination folder cannot be created or written to. Please choose another folder.",
      /* 41 */ "The selected file(s) couldn't get extracted.",
      /* 42 */ "The settings of this self-extractor are damaged, please try to download this file again.",
      /* 43 */ "Fatal Internal Error\r\nAn unknown error has occured",
      /* 44 */ "Fatal Error\r\nUnable to load the rich edit common control library (RICHED32.DLL)",
      /* 45 */ "Currently extracting: ",
      /* 46 */ "Successfully completed the operation.",
      /* 47 */ "After extraction, ",
      /* 48 */ "run ",
      /* 49 */ "install ",
      /* 50 */ "Please enter the password for %s",
      /* 51 */ "Incorrect Password",
      /* 52 */ "Usage",
      /* 53 */ "Automatically extract files",
      /* 54 */ "Don't run command-line after extraction",
      /* 55 */ "Silent operation (automatically overwrites!)",
      /* 56 */ "Existing files overwrite options:",
      /* 57 */ "Confirm",
      /* 58 */ "Overwrite",
      /* 59 */ "Skip",
      /* 60 */ "Extract to given folder (dir)",
      /* 61 */ "About Brambleloader Self-Extractor...",
      /* 62 */ "Help for Brambleloader Self-Extractor...",
      /* 63 */
      "This archive was created with the Brambleloader archiver.\r\n"
      "Brambleloader Self-Extractor, (c) the Brambleloader team, " +
          std::string(kMakerAddress) +
          "\r\n\r\n7z decoding by the 7-Zip archive library, (c) Igor Pavlov, "
          "www.7-zip.org",
      /* 64 */ "\r\n",
      /* 65 */
      "Click \"Extract\" to unpack the files into the folder shown in the \"Extract To\" "
      "field. That folder is created if it does not exist yet.",
  };
  // NOLINTEND(bugprone-suspicious-missing-comma)
  return messages;
}

}  // namespace szsfx
