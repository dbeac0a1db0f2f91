// The window-free parts of the folder browser: roots, flags, the preselection's
// path form and the fitting of the status text to a width.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace szsfx {

enum TRootID : uint8_t {
  idDesktop,
  idInternet,
  idPrograms,
  idControlPanel,
  idPrinters,
  idPersonal,
  idFavorites,
  idStartup,
  idRecent,
  idSendTo,
  idRecycleBin,
  idStartMenu,
  idDesktopDirectory,
  idDrives,
  idNetwork,
  idNetHood,
  idFonts,
  idTemplates,
  idCommonStartMenu,
  idCommonPrograms,
  idCommonStartup,
  idCommonDesktopDirectory,
  idAppData,
  idPrintHood,
  idDesktopExpanded
};

enum TBrowseFlag : uint8_t {
  bfDirectoriesOnly,
  bfDomainOnly,
  bfAncestors,
  bfComputers,
  bfPrinters,
  bfIncludeFiles,
  bfEditBox
};
using TBrowseFlags = uint8_t;  // bit n set: TBrowseFlag value n present
constexpr TBrowseFlags FlagBit(TBrowseFlag flag) { return static_cast<TBrowseFlags>(1u << flag); }

// The shell's special-folder identifier for a root.
int SpecialFolderId(TRootID root);
// The shell browse flags for the options, with the status line when `statusFlag`.
uint32_t ShellBrowseFlags(TBrowseFlags options, bool statusFlag);

// How a preselected path is handed to the dialog: "C:" gets its backslash, a trailing
// backslash goes ("C:\Data\" -> "C:\Data"), "\" stays.
std::u16string SelectionPathForm(const std::u16string& path);

// One round of shortening a folder part: "\Program Files\Common\Data\" becomes
// "\...\Common\Data\", then "\...\Data\", then "\...\".
std::u16string DropFirstFolder(std::u16string dir);

using TTextWidth = std::function<int(const std::u16string&)>;
// Replaces leading folders with "...\" until the path fits; at worst the bare name.
std::u16string FitPathToWidth(const std::u16string& text, int width, const TTextWidth& measure);
// Cuts the text from the end and appends "..." until it fits; at worst "...".
std::u16string FitTextToWidth(const std::u16string& text, int width, const TTextWidth& measure);

}  // namespace szsfx
