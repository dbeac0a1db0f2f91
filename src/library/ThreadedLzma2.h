// LZMA2 decoded on several threads. The 7z command writes an LZMA2 stream in independent
// blocks when it compresses on several threads; such blocks decode in parallel, and their
// output comes out in order through this source, on the thread that reads it.
#pragma once

#include "library/Coders.h"

namespace szlib {

// A coder over `input`: a packed stream of the archive, or the coders over the folder's
// only packed stream, which nothing else reads while the coder lives (its reads come from
// the decoder's threads, one at a time). Its threads start with Start. Returns null with
// `result` kOk when threads do not pay or cannot be had (one processor, little output,
// blocks too large to hold, no memory): the ordinary coder is the one to use then.
// kUnsupported for unusable properties.
TSource* NewThreadedLzma2Coder(const uint8_t* props, size_t propsSize, TSource* input, uint64_t outSize, HRes& result);

// The most the threads' blocks of such a coder take (0 when it would not use threads).
uint64_t ThreadedLzma2Memory(const uint8_t* props, size_t propsSize, uint64_t outSize);

}  // namespace szlib
