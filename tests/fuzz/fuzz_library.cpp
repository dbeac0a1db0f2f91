// Fuzzes our archive library: opens arbitrary bytes as an archive (with a password at
// hand), reads every property of every item and extracts everything to memory.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "library/Crypto.h"
#include "library/Handler.h"
#include "library/SystemString.h"
#include "tests/library/TestObjects.h"

using namespace szsfx;
using namespace szsfx::testing;

namespace {

TSystemString SZ_STDCALL AllocString(const wchar_t* text) {
  std::vector<uint16_t> units;
  for (; text && *text; ++text) units.push_back(static_cast<uint16_t>(*text));
  return szlib::NewSystemString(units.data(), units.size());
}

void ReadProperties(IInArchive* archive) {
  uint32_t count = 0;
  archive->GetNumberOfItems(&count);
  for (uint32_t i = 0; i <= count; ++i) {  // one past the end too
    for (uint32_t id = 0; id < 32; ++id) {
      TPropValue value{};
      archive->GetProperty(i, id, &value);
      if (value.Tag == kTagString)
        szlib::DeleteSystemString(value.String);
      else if (value.Tag != kTagEmpty && value.Tag != kTagBool && value.Tag != kTagUInt32 && value.Tag != kTagUInt64 &&
               value.Tag != kTagFileTime) {
        std::abort();
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  szlib::PrepareTables();
  TPasswordSource password{AllocString, u"Secret"};
  IInArchive* archive = szlib::NewHandler();
  auto* stream = new TTestInStream(std::vector<uint8_t>(data, data + size));
  stream->AddRef();
  auto* open = new TTestOpenCallback(password);
  open->AddRef();
  const HRes opened = archive->Open(stream, nullptr, open);
  if (opened != kOk && opened != kFalse) std::abort();
  if (opened == kOk) {
    ReadProperties(archive);
    auto* extract = new TExtractRecorder(password);
    extract->AddRef();
    if (archive->Extract(nullptr, 0xFFFFFFFFu, 0, extract) != kOk) std::abort();
    for (const TItemRecord& r : extract->Items) {
      if (r.Results != 1 || r.Result < kResultOk || r.Result > kResultCrcError) std::abort();
    }
    extract->Release();
  }
  open->Release();
  stream->Release();
  if (archive->Release() != 0 || szlib::LiveHandlers() != 0) std::abort();
  return 0;
}
