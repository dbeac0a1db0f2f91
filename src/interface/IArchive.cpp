#include "interface/IArchive.h"

#include <cstring>

namespace szsfx {

bool operator==(const TGuid& a, const TGuid& b) {
  return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
         std::memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}

}  // namespace szsfx
