// Compile-time checks that our declarations of the archive library's binary interface
// match the platform's own: the string allocator, the identifier and the property value
// layouts, and the calling convention (a mismatch on i686 compiles and returns garbage).
#include <windows.h>

#include <oleauto.h>
#include <propidl.h>

#include <cstddef>
#include <type_traits>

#include "interface/IArchive.h"

namespace szsfx {

static_assert(std::is_same_v<decltype(&::SysAllocString), BSTR(WINAPI*)(const OLECHAR*)>);
static_assert(std::is_same_v<TSysAllocString, decltype(&::SysAllocString)>);
static_assert(std::is_same_v<TSysFreeString, decltype(&::SysFreeString)>);
// HRESULT and ULONG are `long` here; ours are the fixed-width integers of the same size.
static_assert(std::is_same_v<TCreateObject, HRes(WINAPI*)(const TGuid*, const TGuid*, void**)>);
static_assert(sizeof(HRes) == sizeof(HRESULT) && sizeof(uint32_t) == sizeof(ULONG));

static_assert(sizeof(TGuid) == sizeof(GUID));
static_assert(sizeof(TPropValue) == sizeof(PROPVARIANT));
static_assert(offsetof(TPropValue, Tag) == offsetof(PROPVARIANT, vt));
static_assert(offsetof(TPropValue, UInt64) == offsetof(PROPVARIANT, uhVal));
static_assert(offsetof(TPropValue, String) == offsetof(PROPVARIANT, bstrVal));
static_assert(offsetof(TPropValue, Bool) == offsetof(PROPVARIANT, boolVal));

// A member of an interface has the platform's COM calling convention.
static_assert(
    std::is_same_v<decltype(&IInArchive::GetNumberOfItems), HRes (STDMETHODCALLTYPE IInArchive::*)(uint32_t*)>);
static_assert(std::is_same_v<decltype(&IUnknownSlots::AddRef), uint32_t (STDMETHODCALLTYPE IUnknownSlots::*)()>);

}  // namespace szsfx
