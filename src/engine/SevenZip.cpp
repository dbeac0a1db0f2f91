#include "engine/SevenZip.h"

#include "engine/FileStreams.h"
#include "engine/Callbacks.h"
#include "engine/Library.h"
#include "platform/Platform.h"

namespace szsfx {

namespace {

TSevenZip* g_current = nullptr;

// The folder of the running program, with its separator.
std::string ProgramFolder() {
  std::string path = plat::ToSystemCodePage(plat::ModuleFileName());
  size_t cut = path.find_last_of(std::string("\\:") + plat::kPathSeparator);
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

template <typename T>
void ReleaseRef(T*& object) {
  if (object) object->Release();
  object = nullptr;
}

}  // namespace

TSevenZip* CurrentComponent() { return g_current; }

TSevenZip::TSevenZip() : DLLDir(ProgramFolder()) {
  ReplaceInStream();
  ReplaceOutStream();
}

TSevenZip::~TSevenZip() {
  CloseArchive();
  ReleaseHandler();
  ReleaseRef(InStream);
  ReleaseRef(OutStream);
  if (g_current == this) g_current = nullptr;
}

void TSevenZip::ReplaceInStream() {
  ReleaseRef(InStream);
  InStream = new TInFileStream();
  InStream->AddRef();
}

void TSevenZip::ReplaceOutStream() {
  ReleaseRef(OutStream);
  OutStream = new TOutFileStream();
  OutStream->AddRef();
}

bool TSevenZip::OpenArchive() {
  g_current = this;
  CancelRequested = false;
  if (!BindArchiveLibrary(DLLDir)) return false;
  if (InArchive) {  // a fresh handler for every open
    InArchive->Close();
    ReleaseRef(InArchive);
  }
  InArchive = CreateArchiveHandler();
  if (!InArchive || !plat::FileExistsW(FileName)) return false;
  InStream->Open(FileName);  // a file that cannot be opened makes the handler's Open fail
  auto* callback = new TArchiveOpenCallback();
  callback->AddRef();
  const HRes result = InArchive->Open(InStream, nullptr, callback);
  callback->Release();
  uint32_t count = 0;
  InArchive->GetNumberOfItems(&count);
  if (result != kOk) InStream->InFile.Close();
  return result == kOk;
}

std::vector<uint32_t> TSevenZip::SelectedIndices() const {
  std::vector<uint32_t> indices;
  const uint32_t count = ItemCount();
  for (uint32_t i = 0; i < count; ++i) {
    if (MatchesFileSpec(ItemPath(i))) indices.push_back(i);
  }
  return indices;
}

HRes TSevenZip::ExtractArchive() {
  g_current = this;
  CancelRequested = false;
  LastCompleted = 0;
  ErrorCount = 0;
  if (!OpenArchive()) return kFailure;
  auto* callback = new TArchiveExtractCallback();
  callback->AddRef();
  ReplaceOutStream();
  HRes result = kOk;
  if (FileSpec.empty()) {
    result = InArchive->Extract(nullptr, 0xFFFFFFFFu, 0, callback);
  } else {
    const std::vector<uint32_t> indices = SelectedIndices();
    if (!indices.empty()) result = InArchive->Extract(indices.data(), static_cast<uint32_t>(indices.size()), 0, callback);
  }
  callback->Release();
  OutStream->OutFile.Close();  // the library may stop mid-item without a result
  CloseArchive();
  if (CancelRequested) return result != kOk ? result : kAborted;
  if (OnProgress) {
    bool cancel = false;
    OnProgress(this, 100, 100, cancel);
  }
  return result;
}

void TSevenZip::CloseArchive() {
  if (InArchive) InArchive->Close();
  InStream->InFile.Close();
  ReplaceInStream();
}

void TSevenZip::ReleaseHandler() { ReleaseRef(InArchive); }

uint32_t TSevenZip::ItemCount() const {
  uint32_t count = 0;
  if (InArchive) InArchive->GetNumberOfItems(&count);
  return count;
}

std::u16string TSevenZip::ItemPath(uint32_t index) const {
  if (!InArchive) return std::u16string();
  TPropValue value{};
  InArchive->GetProperty(index, kPropPath, &value);
  if (value.Tag != kTagString) return std::u16string();
  std::u16string path = FromSystemString(value.String);
  FreeSystemString(value.String);
  return path;
}

bool TSevenZip::MatchesFileSpec(const std::u16string& path) const {
  if (path.empty()) return false;
  const std::u16string lowerPath = plat::LowerCase(path);
  for (const std::u16string& entry : FileSpec) {
    if (!entry.empty() && (entry.back() == u'\\' || entry.back() == plat::kPathSeparator)) {
      // A folder entry: the folder and everything below it.
      if (lowerPath.rfind(plat::LowerCase(entry), 0) == 0) return true;
      continue;
    }
    const bool dottedEntry = entry.find(u'.') != std::u16string::npos;
    const bool dottedPath = path.find(u'.') != std::u16string::npos;
    if (WildcardMatch(dottedEntry && !dottedPath ? path + u"." : path, entry)) return true;
  }
  return false;
}

bool WildcardMatch(const std::u16string& name, const std::u16string& mask) {
  const std::u16string n = plat::LowerCase(name), m = plat::LowerCase(mask);
  size_t i = 0, j = 0, star = std::u16string::npos, resume = 0;
  while (i < n.size()) {
    if (j < m.size() && m[j] == u'*') {  // a star before anything else, even against a "*" in the name
      star = j++;
      resume = i;
    } else if (j < m.size() && (m[j] == u'?' || m[j] == n[i])) {
      ++i;
      ++j;
    } else if (star != std::u16string::npos) {
      j = star + 1;  // let the last "*" take one more character
      i = ++resume;
    } else {
      return false;
    }
  }
  while (j < m.size() && m[j] == u'*') ++j;
  return j == m.size();
}

}  // namespace szsfx
