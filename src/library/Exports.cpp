// The library's entry points: the handler factory, the handler's description and,
// natively, the system string functions that its callers bind.
#include "format/SevenZipStart.h"
#include "library/Crypto.h"
#include "library/Handler.h"
#include "library/SystemString.h"

#ifdef _WIN32
#define SZ_EXPORT extern "C" __declspec(dllexport)
#else
#define SZ_EXPORT extern "C" __attribute__((visibility("default")))
#endif

using namespace szsfx;

namespace {

constexpr HRes kClassNotAvailable = static_cast<HRes>(0x80040111u);
enum : uint32_t {
  kHandlerName = 0,
  kHandlerClassId = 1,
  kHandlerExtension = 2,
  kHandlerUpdate = 4,
  kHandlerKeepName = 5,
  kHandlerSignature = 6
};

void SetString(TPropValue* value, TSystemString text) {
  if (!text) return;
  value->Tag = kTagString;
  value->String = text;
}

}  // namespace

SZ_EXPORT HRes SZ_STDCALL CreateObject(const TGuid* classId, const TGuid* interfaceId, void** object) {
  if (!classId || !interfaceId || !object) return kFailure;
  *object = nullptr;
  if (!(*classId == CLSID_Format7z)) return kClassNotAvailable;
  if (!(*interfaceId == IID_IInArchive || *interfaceId == IID_IUnknown)) return kNoInterface;
  szlib::PrepareTables();
  IInArchive* handler = szlib::NewHandler();
  if (!handler) return szlib::kOutOfMemory;
  *object = handler;
  return kOk;
}

SZ_EXPORT HRes SZ_STDCALL GetHandlerProperty(uint32_t propId, TPropValue* value) {
  if (!value) return kFailure;
  *value = TPropValue{};
  static const uint16_t kName[] = {'7', 'z'};
  switch (propId) {
    case kHandlerName:
    case kHandlerExtension:
      SetString(value, szlib::NewSystemString(kName, 2));
      break;
    case kHandlerClassId:
      SetString(value, szlib::NewBinaryString(reinterpret_cast<const uint8_t*>(&CLSID_Format7z), sizeof(TGuid)));
      break;
    case kHandlerSignature:
      SetString(value, szlib::NewBinaryString(kSevenZipSignature, sizeof kSevenZipSignature));
      break;
    case kHandlerUpdate:
    case kHandlerKeepName:
      value->Tag = kTagBool;
      value->Bool = 0;
      break;
    default:
      break;
  }
  return kOk;
}

#ifndef _WIN32
SZ_EXPORT TSystemString SysAllocString(const wchar_t* text) {
  size_t length = 0;
  while (text && text[length]) ++length;
  TSystemString copy = szlib::NewSystemString(nullptr, length);
  for (size_t i = 0; copy && i < length; ++i) copy[i] = text[i];
  return copy;
}

SZ_EXPORT void SysFreeString(TSystemString text) { szlib::DeleteSystemString(text); }
#endif
