// Layout of a self-extractor file: stub, library image, message blocks,
// settings record, 7z archive. Shared by the stub's reader and the payload
// builder, so that the two cannot drift apart.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace szsfx {

// The stub executable is padded to exactly this size; the payload starts here.
// The build reads this line to pad the stub: keep it a plain hex literal.
constexpr uint32_t kStubImageSize = 0x36A00;
constexpr uint32_t kLibraryImageSize = 0x12A00;  // 76,288 bytes, also the copy buffer size
constexpr uint32_t kFirstBlockPosition = kStubImageSize + kLibraryImageSize;
constexpr uint32_t kSettingsRecordSize = 832;

constexpr char kBlockMarker[5] = {'{', 'S', 'L', 'F', '}'};
constexpr uint32_t kBlockHeadSize = 9;                      // marker + 32-bit length
constexpr uint32_t kMaxStringArea = kLibraryImageSize - 1;  // 76,287
constexpr int kMaxBlocks = 32;
constexpr int kMaxStringsPerBlock = 100;

constexpr std::string_view kSignature = "BSZ";
constexpr std::u16string_view kFixedCaption = u"Brambleloader SFX";
// The maker's web address: the link label opens it, the default messages name it.
constexpr char kMakerAddress[] = "https://brambleloader.example/sfx";

// FolderMode values.
constexpr uint8_t kFolderModeGiven = 0;
constexpr uint8_t kFolderModeTemp = 1;
constexpr uint8_t kFolderModeProgramFiles = 2;

// How a run treats files that already exist. The one encoding: the record's OverwriteMode
// byte holds it, the options set it and the window's radio buttons choose it.
enum class OverwriteChoice : uint8_t { Overwrite = 0, Skip = 1, Confirm = 2 };
constexpr uint8_t kOverwriteModeOverwrite = static_cast<uint8_t>(OverwriteChoice::Overwrite);
constexpr uint8_t kOverwriteModeSkip = static_cast<uint8_t>(OverwriteChoice::Skip);
constexpr uint8_t kOverwriteModeConfirm = static_cast<uint8_t>(OverwriteChoice::Confirm);

static_assert(sizeof(int32_t) == 4 && sizeof(uint32_t) == 4);

// A length byte followed by a fixed capacity of 8-bit characters. A length
// byte above the capacity (a damaged record) reads as the whole capacity.
template <size_t Capacity>
struct ShortString {
  uint8_t Length;
  char Chars[Capacity];

  std::string Get() const {
    size_t n = Length <= Capacity ? Length : Capacity;
    return std::string(Chars, n);
  }
  // Stores at most Capacity characters and clears the padding behind them.
  void Set(std::string_view value) {
    size_t n = value.size() <= Capacity ? value.size() : Capacity;
    std::memset(Chars, 0, Capacity);
    std::memcpy(Chars, value.data(), n);
    Length = static_cast<uint8_t>(n);
  }
};

// Capacities of the record's texts in bytes of the code page; the program's UTF-16 copies
// keep them, counted in UTF-16 units.
constexpr size_t kFolderCapacity = 255;
constexpr size_t kTitleCapacity = 100;
constexpr size_t kCommandCapacity = 100;

#pragma pack(push, 1)
// The 832-byte settings record, little-endian, read and written as one piece.
struct TSettingsRecord {
  ShortString<3> Signature;                    // 0
  ShortString<255> ArchiveName;                // 4, carried but never read by the stub
  uint8_t FolderMode;                          // 260
  ShortString<kFolderCapacity> ExtractFolder;  // 261
  uint8_t OverwriteMode;                       // 517
  ShortString<kTitleCapacity> Title;           // 518
  ShortString<kCommandCapacity> RunCommand;    // 619
  uint8_t HideOverwriteGroup;                  // 720
  uint8_t Reserved[102];                       // 721, carried but never read by the stub
  uint8_t AutoExtract;                         // 823
  int32_t ShowDoneMessage;                     // 824
  int32_t HideFileList;                        // 828
};
#pragma pack(pop)

static_assert(sizeof(TSettingsRecord) == kSettingsRecordSize);
static_assert(offsetof(TSettingsRecord, FolderMode) == 260);
static_assert(offsetof(TSettingsRecord, ExtractFolder) == 261);
static_assert(offsetof(TSettingsRecord, OverwriteMode) == 517);
static_assert(offsetof(TSettingsRecord, Title) == 518);
static_assert(offsetof(TSettingsRecord, RunCommand) == 619);
static_assert(offsetof(TSettingsRecord, HideOverwriteGroup) == 720);
static_assert(offsetof(TSettingsRecord, AutoExtract) == 823);
static_assert(offsetof(TSettingsRecord, ShowDoneMessage) == 824);
static_assert(offsetof(TSettingsRecord, HideFileList) == 828);

// Message indices the stub shows.
namespace msg {
constexpr int kPleaseWait = 3;
constexpr int kAborting = 4;
constexpr int kExtractButton = 5;
constexpr int kCancelButton = 6;
constexpr int kAboutButton = 8;
constexpr int kOkButton = 9;
constexpr int kBrowseCaption = 17;
constexpr int kExtractToLabel = 20;
constexpr int kFilesLabel = 21;
constexpr int kLinkLabel = 22;
constexpr int kOverwriteGroup = 24;
constexpr int kConfirmRadio = 25;
constexpr int kSkipRadio = 26;
constexpr int kOverwriteRadio = 27;
constexpr int kOverwriteQuestion = 36;
constexpr int kErrorReadingArchive = 37;
constexpr int kFolderEmpty = 39;
constexpr int kFolderNotWritable = 40;
constexpr int kExtractFailed = 41;
constexpr int kWrongSignature = 42;
constexpr int kProgressPrefix = 45;
constexpr int kDone = 46;
constexpr int kPasswordPrompt = 50;
constexpr int kIncorrectPassword = 51;
constexpr int kUsageHeading = 52;
constexpr int kUsageAutoExtract = 53;
constexpr int kUsageNoCommand = 54;
constexpr int kUsageSilent = 55;
constexpr int kUsageOverwriteHeading = 56;
constexpr int kUsageConfirm = 57;
constexpr int kUsageOverwrite = 58;
constexpr int kUsageSkip = 59;
constexpr int kUsageFolder = 60;
constexpr int kAboutText = 63;
}  // namespace msg

}  // namespace szsfx
