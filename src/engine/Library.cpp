#include "engine/Library.h"

#include "engine/SevenZip.h"
#include "platform/Platform.h"

namespace szsfx {

namespace {

struct TArchiveLibrary {
  void* Module = nullptr;
  TCreateObject CreateObject = nullptr;
  TSysAllocString Alloc = nullptr;
  TSysFreeString Free = nullptr;
};

TArchiveLibrary& Library() {
  static TArchiveLibrary library;
  return library;
}

template <typename F>
F Symbol(void* address) {
  return reinterpret_cast<F>(address);
}

}  // namespace

bool BindArchiveLibrary(const std::u16string& folder) {
  TArchiveLibrary& lib = Library();
  if (!lib.Module) {
    lib.Module = plat::LoadModule(folder + u"7z.dll");
    if (!lib.Module) return false;
    lib.CreateObject = Symbol<TCreateObject>(plat::ModuleSymbol(lib.Module, "CreateObject"));
    lib.Alloc = Symbol<TSysAllocString>(plat::SystemStringFunction(lib.Module, "SysAllocString"));
    lib.Free = Symbol<TSysFreeString>(plat::SystemStringFunction(lib.Module, "SysFreeString"));
  }
  return lib.CreateObject && lib.Alloc && lib.Free;
}

IInArchive* CreateArchiveHandler() {
  TArchiveLibrary& lib = Library();
  if (!lib.CreateObject) return nullptr;
  void* handler = nullptr;
  if (lib.CreateObject(&CLSID_Format7z, &IID_IInArchive, &handler) != kOk) return nullptr;
  return static_cast<IInArchive*>(handler);
}

TSystemString AllocSystemString(const std::u16string& text) {
  std::wstring units(text.begin(), text.end());  // one UTF-16 unit per wchar_t, on both targets
  return Library().Alloc ? Library().Alloc(units.c_str()) : nullptr;
}

void FreeSystemString(TSystemString text) {
  if (text && Library().Free) Library().Free(text);
}

std::u16string FromSystemString(const wchar_t* text) {
  std::u16string out;
  for (; text && *text; ++text) out += static_cast<char16_t>(*text);
  return out;
}

void ReleaseArchiveLibrary() {
  TArchiveLibrary& lib = Library();
  if (lib.Module) plat::UnloadModule(lib.Module);
  lib = TArchiveLibrary();
}

}  // namespace szsfx
