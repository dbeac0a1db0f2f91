#include "engine/Library.h"

#include "platform/Platform.h"

namespace szsfx {

namespace {

template <typename F>
F Symbol(void* address) {
  return reinterpret_cast<F>(address);
}

}  // namespace

TArchiveLibrary::TArchiveLibrary(const std::u16string& folder) : module_(plat::LoadModule(folder + u"7z.dll")) {
  if (!module_) return;
  createObject_ = Symbol<TCreateObject>(plat::ModuleSymbol(module_, "CreateObject"));
  alloc_ = Symbol<TSysAllocString>(plat::SystemStringFunction(module_, "SysAllocString"));
  free_ = Symbol<TSysFreeString>(plat::SystemStringFunction(module_, "SysFreeString"));
}

TArchiveLibrary::~TArchiveLibrary() {
  if (module_) plat::UnloadModule(module_);
}

IInArchive* TArchiveLibrary::CreateHandler() const {
  if (!Loaded()) return nullptr;
  void* handler = nullptr;
  if (createObject_(&CLSID_Format7z, &IID_IInArchive, &handler) != kOk) return nullptr;
  return static_cast<IInArchive*>(handler);
}

TSystemString TArchiveLibrary::AllocString(const std::u16string& text) const {
  std::wstring units(text.begin(), text.end());  // one UTF-16 unit per wchar_t, on both targets
  return alloc_ ? alloc_(units.c_str()) : nullptr;
}

void TArchiveLibrary::FreeString(TSystemString text) const {
  if (text && free_) free_(text);
}

std::u16string FromSystemString(const wchar_t* text) {
  std::u16string out;
  for (; text && *text; ++text) out += static_cast<char16_t>(*text);
  return out;
}

}  // namespace szsfx
