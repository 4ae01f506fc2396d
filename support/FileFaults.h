#pragma once

#include <cstddef>

// A seam for tests: makes the Nth call of one file operation fail with a chosen errno. Production code never
// arms it, and while it is disarmed each operation pays one test of a plain flag.
namespace FileFaults {

enum class Op { Open, Size, Seek, Read, Write, Sync, Close };

// The nth (1-based) call of op from now on fails with err; later calls succeed again.
void failNth(Op op, int nth, int err);
void reset();

// Called by FileHandle before each operation: the errno to fail with, or 0.
[[nodiscard]] int check(Op op);
// Called before an operation on count units (the bytes of a ranged read), each counted as one call: the errno
// of a planned failure among them, with count cut to the units before it; else 0 and count unchanged.
[[nodiscard]] int check(Op op, std::size_t& count);

} // namespace FileFaults
