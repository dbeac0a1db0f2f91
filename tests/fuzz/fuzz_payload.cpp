// Fuzzes the payload reader: the input is everything behind the library image slot.
#include <sys/types.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "payload/Payload.h"
#include "platform/Platform.h"

using namespace szsfx;

namespace {

const std::string& ScratchFile() {
  static const std::string path = [] {
    char name[] = "/tmp/fuzz-payload-XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0) std::abort();
    close(fd);
    return std::string(name);
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = ScratchFile();
  {
    // A sparse file: zeros up to the first block position, then the input.
    TOutFile out;
    out.Creation = plat::FileCreation::CreateAlways;
    if (!out.Open(std::filesystem::path(path).u16string())) std::abort();
    uint64_t position = 0;
    out.Seek(kFirstBlockPosition, plat::SeekOrigin::Begin, position);
    uint32_t written = 0;
    if (size > 0 && !out.Write(data, static_cast<uint32_t>(size), written)) std::abort();
  }
  TInFile in;
  if (!in.Open(std::filesystem::path(path).u16string())) std::abort();
  static TMessageTable* table = new TMessageTable();
  static TCopyBuffer* buffer = new TCopyBuffer(MakeCopyBuffer());
  int blocks = 0;
  TSettingsRecord record{};
  uint64_t offset = 0;
  if (!ReadMessageBlocks(in, *table, *buffer, blocks) || !ReadSettingsRecord(in, record, offset)) std::abort();
  if (blocks < 0 || blocks > kMaxBlocks || offset < kFirstBlockPosition + kSettingsRecordSize) std::abort();
  SignatureMatches(record);
  size_t total = record.Title.Get().size() + record.ExtractFolder.Get().size() + record.RunCommand.Get().size() +
                 table->Get(1, 99).size();
  if (total > 100 + 255 + 100 + kMaxStringArea) std::abort();
  return 0;
}
