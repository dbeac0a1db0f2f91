// Callback and stream objects for driving an archive library directly: an input stream
// over bytes in memory or a file, open and extract callbacks that record per item what
// the library reports, and a memory sink that keeps a size and hash of what it gets.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "interface/IArchive.h"

namespace szsfx::testing {

// Reference counting and QueryInterface for a test object: `Main` and whatever
// QueryExtra answers (the password interface).
template <typename Main, typename... Extra>
class TObject : public Main, public Extra... {
 public:
  virtual ~TObject() = default;
  HRes SZ_STDCALL QueryInterface(const TGuid& iid, void** object) override {
    *object = nullptr;
    if (iid == IID_IUnknown || iid == MainIid)
      *object = static_cast<Main*>(this);
    else
      *object = QueryExtra(iid);
    if (!*object) return kNoInterface;
    AddRef();
    return kOk;
  }
  uint32_t SZ_STDCALL AddRef() override { return ++refs_; }
  uint32_t SZ_STDCALL Release() override {
    const uint32_t left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  TGuid MainIid{};

 protected:
  virtual void* QueryExtra(const TGuid&) { return nullptr; }

 private:
  std::atomic<uint32_t> refs_{0};
};

// The archive's bytes, read from memory (the fuzzer) or from a file (large archives).
class TTestInStream final : public TObject<IInStream> {
 public:
  explicit TTestInStream(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)), size_(bytes_.size()) {
    MainIid = IID_IInStream;
  }
  explicit TTestInStream(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {
    MainIid = IID_IInStream;
    if (file_ && std::fseek(file_, 0, SEEK_END) == 0) size_ = static_cast<uint64_t>(ftello(file_));
  }
  ~TTestInStream() override {
    if (file_) std::fclose(file_);
  }
  HRes SZ_STDCALL Read(void* data, uint32_t size, uint32_t* processed) override {
    if (processed) *processed = 0;
    if (AbortReads) return kAborted;
    const uint64_t n = position_ >= size_ ? 0 : std::min<uint64_t>(size, size_ - position_);
    if (file_) {
      if (n && (fseeko(file_, static_cast<off_t>(position_), SEEK_SET) != 0 || std::fread(data, 1, n, file_) != n)) {
        return kFailure;
      }
    } else if (n) {
      std::memcpy(data, bytes_.data() + position_, n);
    }
    position_ += n;
    if (processed) *processed = static_cast<uint32_t>(n);
    return kOk;
  }
  HRes SZ_STDCALL Seek(int64_t offset, uint32_t origin, uint64_t* newPosition) override {
    const int64_t base = origin == 0 ? 0 : origin == 1 ? static_cast<int64_t>(position_) : static_cast<int64_t>(size_);
    if (origin > 2 || base + offset < 0) return kInvalidFunction;
    position_ = static_cast<uint64_t>(base + offset);
    if (newPosition) *newPosition = position_;
    return kOk;
  }
  bool Valid() const { return file_ || size_ == bytes_.size(); }
  std::atomic<bool> AbortReads{false};

 private:
  std::vector<uint8_t> bytes_;
  std::FILE* file_ = nullptr;
  uint64_t size_ = 0, position_ = 0;
};

// The password, handed over in the library's own string allocation.
struct TPasswordSource {
  TSysAllocString Alloc = nullptr;
  std::u16string Password;
  bool Offer = true;  // whether the callback answers for ICryptoGetTextPassword
  int Asked = 0;
  HRes Answer(TSystemString* password) {
    ++Asked;
    std::wstring units(Password.begin(), Password.end());
    *password = Alloc(units.c_str());
    return kOk;
  }
};

class TTestOpenCallback final : public TObject<IArchiveOpenCallback, ICryptoGetTextPassword> {
 public:
  explicit TTestOpenCallback(TPasswordSource& password) : password_(password) { MainIid = IID_IArchiveOpenCallback; }
  HRes SZ_STDCALL SetTotal(const uint64_t*, const uint64_t*) override { return kOk; }
  HRes SZ_STDCALL SetCompleted(const uint64_t*, const uint64_t*) override { return kOk; }
  HRes SZ_STDCALL CryptoGetTextPassword(TSystemString* password) override { return password_.Answer(password); }

 protected:
  void* QueryExtra(const TGuid& iid) override {
    return password_.Offer && iid == IID_ICryptoGetTextPassword ? static_cast<ICryptoGetTextPassword*>(this) : nullptr;
  }

 private:
  TPasswordSource& password_;
};

// What an extraction reported for one item.
struct TItemRecord {
  uint32_t Index = 0;
  int32_t AskMode = -1;
  int32_t Result = -1;
  uint64_t Size = 0;
  uint64_t Hash = 1469598103934665603ull;  // FNV-1a of the bytes written
  int Prepared = 0, Results = 0;
};

class TExtractRecorder;

class TMemorySink final : public TObject<ISequentialOutStream> {
 public:
  TMemorySink(std::vector<TItemRecord>& items, size_t slot) : items_(items), slot_(slot) {
    MainIid = IID_ISequentialOutStream;
  }
  HRes SZ_STDCALL Write(const void* data, uint32_t size, uint32_t* processed) override {
    TItemRecord& record = items_[slot_];
    const auto* bytes = static_cast<const uint8_t*>(data);
    uint64_t hash = record.Hash;
    for (uint32_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 1099511628211ull;
    record.Hash = hash;
    record.Size += size;
    if (processed) *processed = size;
    return kOk;
  }

 private:
  std::vector<TItemRecord>& items_;
  size_t slot_;
};

class TExtractRecorder final : public TObject<IArchiveExtractCallback, ICryptoGetTextPassword> {
 public:
  explicit TExtractRecorder(TPasswordSource& password) : password_(password) { MainIid = IID_IArchiveExtractCallback; }
  HRes SZ_STDCALL SetTotal(uint64_t total) override {
    Total = total;
    return kOk;
  }
  HRes SZ_STDCALL SetCompleted(const uint64_t* completed) override {
    if (completed) Completed = *completed;
    return ++Progress == AbortAtProgress ? kAborted : kOk;
  }
  HRes SZ_STDCALL GetStream(uint32_t index, ISequentialOutStream** stream, int32_t askMode) override {
    Items.emplace_back();
    Items.back().Index = index;
    Items.back().AskMode = askMode;
    *stream = nullptr;
    if (askMode == kAskExtract) {
      *stream = new TMemorySink(Items, Items.size() - 1);
      (*stream)->AddRef();
    }
    return kOk;
  }
  HRes SZ_STDCALL PrepareOperation(int32_t) override {
    if (!Items.empty()) ++Items.back().Prepared;
    return kOk;
  }
  HRes SZ_STDCALL SetOperationResult(int32_t result) override {
    if (!Items.empty()) Items.back().Result = result, ++Items.back().Results;
    return kOk;
  }
  HRes SZ_STDCALL CryptoGetTextPassword(TSystemString* password) override { return password_.Answer(password); }

  std::vector<TItemRecord> Items;
  uint64_t Total = 0, Completed = 0;
  int Progress = 0, AbortAtProgress = -1;

 protected:
  void* QueryExtra(const TGuid& iid) override {
    return password_.Offer && iid == IID_ICryptoGetTextPassword ? static_cast<ICryptoGetTextPassword*>(this) : nullptr;
  }

 private:
  TPasswordSource& password_;
};

}  // namespace szsfx::testing
