/* A small stand-in for the archive library in the payload's library slot: it loads
   Debian's p7zip 7z.so and forwards to it, string allocator included. */
#include <dlfcn.h>
#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#define EXPORT __attribute__((visibility("default")))

static void* Library(void) {
  static void* library;
  if (!library) library = dlopen("/usr/lib/p7zip/7z.so", RTLD_NOW | RTLD_LOCAL);
  return library;
}

static void* Symbol(const char* name) {
  void* lib = Library();
  return lib ? dlsym(lib, name) : NULL;
}

typedef int32_t (*CreateObjectFn)(const void*, const void*, void**);
typedef int32_t (*GetHandlerPropertyFn)(uint32_t, void*);
typedef wchar_t* (*SysAllocStringFn)(const wchar_t*);
typedef void (*SysFreeStringFn)(wchar_t*);

EXPORT int32_t CreateObject(const void* classId, const void* interfaceId, void** object) {
  CreateObjectFn fn = (CreateObjectFn)Symbol("CreateObject");
  return fn ? fn(classId, interfaceId, object) : (int32_t)0x80004005u;
}

EXPORT int32_t GetHandlerProperty(uint32_t id, void* value) {
  GetHandlerPropertyFn fn = (GetHandlerPropertyFn)Symbol("GetHandlerProperty");
  return fn ? fn(id, value) : (int32_t)0x80004005u;
}

EXPORT wchar_t* SysAllocString(const wchar_t* text) {
  SysAllocStringFn fn = (SysAllocStringFn)Symbol("SysAllocString");
  return fn ? fn(text) : NULL;
}

EXPORT void SysFreeString(wchar_t* text) {
  SysFreeStringFn fn = (SysFreeStringFn)Symbol("SysFreeString");
  if (fn) fn(text);
}
