#pragma once

namespace velmora::conversion {

// A run holds a few buffers of several megabytes at once (a picture, its record, streams, the
// compressors' tables). On the virtual machines modders often use, the first touch of each
// 4 KB page costs about 10 microseconds, so a fresh 4 MB buffer costs 12 ms before it holds a
// byte: more than a level-1 pass over it. Called first thing in main, this serves every
// allocation from one heap that the kernel may back with 2 MB pages and does not hand back
// between one buffer and the next. Does nothing where the C library or the kernel offers no
// such heap (another allocator, as under valgrind or a sanitizer, included).
void preferLargePagesForBuffers();

} // namespace velmora::conversion
