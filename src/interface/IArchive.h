// The archive library's binary interface: identifiers, the interfaces it offers and
// the ones it calls back. Reference-counted objects in the COM layout; every method
// uses the stdcall convention on i686 and returns a 32-bit result code.
#pragma once

#include <cstdint>

#ifdef _WIN32
#define SZ_STDCALL __stdcall
#else
#define SZ_STDCALL
#endif

namespace szsfx {

using HRes = int32_t;
constexpr HRes kOk = 0;
constexpr HRes kFalse = 1;
constexpr HRes kAborted = static_cast<HRes>(0x80004004u);
constexpr HRes kFailure = static_cast<HRes>(0x80004005u);
constexpr HRes kNoInterface = static_cast<HRes>(0x80004002u);
constexpr HRes kInvalidFunction = static_cast<HRes>(0x80030001u);

struct TGuid {
  uint32_t Data1;
  uint16_t Data2, Data3;
  uint8_t Data4[8];
};
bool operator==(const TGuid& a, const TGuid& b);

// 23170F69-40C1-278A-<group>-<id> is the scheme of the library's identifiers.
constexpr TGuid SevenZipGuid(uint16_t group, uint16_t high, uint32_t low) {
  return TGuid{0x23170F69u,
               0x40C1u,
               0x278Au,
               {static_cast<uint8_t>(group >> 8), static_cast<uint8_t>(group), static_cast<uint8_t>(high >> 8),
                static_cast<uint8_t>(high), static_cast<uint8_t>(low >> 24), static_cast<uint8_t>(low >> 16),
                static_cast<uint8_t>(low >> 8), static_cast<uint8_t>(low)}};
}

constexpr TGuid IID_IUnknown = {0x00000000u, 0x0000u, 0x0000u, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr TGuid CLSID_Format7z = SevenZipGuid(0x1000, 0x0001, 0x10070000u);
constexpr TGuid IID_ISequentialInStream = SevenZipGuid(0x0000, 0x0003, 0x00010000u);
constexpr TGuid IID_ISequentialOutStream = SevenZipGuid(0x0000, 0x0003, 0x00020000u);
constexpr TGuid IID_IInStream = SevenZipGuid(0x0000, 0x0003, 0x00030000u);
constexpr TGuid IID_IOutStream = SevenZipGuid(0x0000, 0x0003, 0x00040000u);
constexpr TGuid IID_ICryptoGetTextPassword = SevenZipGuid(0x0000, 0x0005, 0x00100000u);
constexpr TGuid IID_IArchiveOpenCallback = SevenZipGuid(0x0000, 0x0006, 0x00100000u);
constexpr TGuid IID_IArchiveExtractCallback = SevenZipGuid(0x0000, 0x0006, 0x00200000u);
constexpr TGuid IID_IInArchive = SevenZipGuid(0x0000, 0x0006, 0x00600000u);

// A system string: a length-prefixed wide string allocated by the string allocator
// of the platform (Windows) or of the library (Linux). Each unit holds one UTF-16
// code unit, also where wchar_t is 4 bytes wide.
using TSystemString = wchar_t*;
using TSysAllocString = TSystemString(SZ_STDCALL*)(const wchar_t*);
using TSysFreeString = void(SZ_STDCALL*)(TSystemString);

// A property value in the platform's layout: type tag, 6 reserved bytes, then the value.
// The value area is 8 bytes where pointers are 4 bytes wide (i686) or where the library is
// a Linux module, and 16 bytes on 64-bit Windows, whose value union holds pairs of pointers.
enum : uint16_t {
  kTagEmpty = 0,
  kTagString = 8,
  kTagBool = 11,
  kTagUInt32 = 19,
  kTagUInt64 = 21,
  kTagUInt64Preset = 22,
  kTagFileTime = 64
};
struct TPropValue {
  uint16_t Tag;
  uint16_t Reserved1, Reserved2, Reserved3;
  union {
    uint64_t UInt64;
    uint32_t UInt32;
    int16_t Bool;
    TSystemString String;
#if defined(_WIN64)
    void* PointerPair[2];
#endif
  };
};
#if defined(_WIN64)
static_assert(sizeof(TPropValue) == 24, "64-bit Windows property values are 24 bytes");
#elif defined(_WIN32)
static_assert(sizeof(TPropValue) == 16, "32-bit Windows property values are 16 bytes");
#else
static_assert(sizeof(TPropValue) == 16, "property values of the Linux library are 16 bytes");
#endif

enum : uint32_t { kPropPath = 3, kPropIsFolder = 6, kPropSize = 7, kPropAttributes = 9, kPropModified = 12 };
enum : int32_t { kAskExtract = 0, kAskTest = 1, kAskSkip = 2 };

// The interfaces have no virtual destructors: the layout is the bare table of slots.
class IUnknownSlots {
 public:
  virtual HRes SZ_STDCALL QueryInterface(const TGuid& iid, void** object) = 0;
  virtual uint32_t SZ_STDCALL AddRef() = 0;
  virtual uint32_t SZ_STDCALL Release() = 0;

 protected:
  ~IUnknownSlots() = default;
};

class ISequentialInStream : public IUnknownSlots {
 public:
  virtual HRes SZ_STDCALL Read(void* data, uint32_t size, uint32_t* processed) = 0;

 protected:
  ~ISequentialInStream() = default;
};

class IInStream : public ISequentialInStream {
 public:
  virtual HRes SZ_STDCALL Seek(int64_t offset, uint32_t origin, uint64_t* newPosition) = 0;

 protected:
  ~IInStream() = default;
};

class ISequentialOutStream : public IUnknownSlots {
 public:
  virtual HRes SZ_STDCALL Write(const void* data, uint32_t size, uint32_t* processed) = 0;

 protected:
  ~ISequentialOutStream() = default;
};

class IOutStream : public ISequentialOutStream {
 public:
  virtual HRes SZ_STDCALL Seek(int64_t offset, uint32_t origin, uint64_t* newPosition) = 0;
  virtual HRes SZ_STDCALL SetSize(uint64_t newSize) = 0;

 protected:
  ~IOutStream() = default;
};

class ICryptoGetTextPassword : public IUnknownSlots {
 public:
  virtual HRes SZ_STDCALL CryptoGetTextPassword(TSystemString* password) = 0;

 protected:
  ~ICryptoGetTextPassword() = default;
};

class IArchiveOpenCallback : public IUnknownSlots {
 public:
  virtual HRes SZ_STDCALL SetTotal(const uint64_t* files, const uint64_t* bytes) = 0;
  virtual HRes SZ_STDCALL SetCompleted(const uint64_t* files, const uint64_t* bytes) = 0;

 protected:
  ~IArchiveOpenCallback() = default;
};

class IArchiveExtractCallback : public IUnknownSlots {
 public:
  virtual HRes SZ_STDCALL SetTotal(uint64_t total) = 0;
  virtual HRes SZ_STDCALL SetCompleted(const uint64_t* completed) = 0;
  virtual HRes SZ_STDCALL GetStream(uint32_t index, ISequentialOutStream** stream, int32_t askMode) = 0;
  virtual HRes SZ_STDCALL PrepareOperation(int32_t askMode) = 0;
  virtual HRes SZ_STDCALL SetOperationResult(int32_t result) = 0;

 protected:
  ~IArchiveExtractCallback() = default;
};

class IInArchive : public IUnknownSlots {
 public:
  virtual HRes SZ_STDCALL Open(IInStream* stream, const uint64_t* maxCheckStartPosition,
                               IArchiveOpenCallback* callback) = 0;
  virtual HRes SZ_STDCALL Close() = 0;
  virtual HRes SZ_STDCALL GetNumberOfItems(uint32_t* count) = 0;
  virtual HRes SZ_STDCALL GetProperty(uint32_t index, uint32_t propId, TPropValue* value) = 0;
  virtual HRes SZ_STDCALL Extract(const uint32_t* indices, uint32_t count, int32_t testMode,
                                  IArchiveExtractCallback* callback) = 0;

 protected:
  ~IInArchive() = default;
};

// The handler's further slots: every 7z library has them; the stub never calls them, the
// engine harness asks one for our library's reason for refusing an archive.
class IInArchiveFull : public IInArchive {
 public:
  virtual HRes SZ_STDCALL GetArchiveProperty(uint32_t propId, TPropValue* value) = 0;
  virtual HRes SZ_STDCALL GetNumberOfProperties(uint32_t* count) = 0;
  virtual HRes SZ_STDCALL GetPropertyInfo(uint32_t index, TSystemString* name, uint32_t* propId, uint16_t* type) = 0;
  virtual HRes SZ_STDCALL GetNumberOfArchiveProperties(uint32_t* count) = 0;
  virtual HRes SZ_STDCALL GetArchivePropertyInfo(uint32_t index, TSystemString* name, uint32_t* propId,
                                                 uint16_t* type) = 0;

 protected:
  ~IInArchiveFull() = default;
};

using TCreateObject = HRes(SZ_STDCALL*)(const TGuid* classId, const TGuid* interfaceId, void** object);

// Further item properties, and the results an extraction reports per item.
enum : uint32_t {
  kPropPackedSize = 8,
  kPropCreated = 10,
  kPropAccessed = 11,
  kPropEncrypted = 15,
  kPropCrc = 19,
  kPropIsAnti = 21
};
enum : int32_t { kResultOk = 0, kResultUnsupportedMethod = 1, kResultDataError = 2, kResultCrcError = 3 };
// An archive property of our own library (beyond the ids other libraries use): after an
// Open that refused the archive, why, as a string; nothing after a successful one.
constexpr uint32_t kArchivePropRefusal = 0x10000;
// The library's description of its handler: GetHandlerProperty(id, value); id 0 is the name.
using TGetHandlerProperty = HRes(SZ_STDCALL*)(uint32_t propId, TPropValue* value);

}  // namespace szsfx
