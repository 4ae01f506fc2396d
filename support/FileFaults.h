#pragma once

// A seam for tests: makes the Nth call of one file operation fail with a chosen errno. Production code never
// arms it, and while it is disarmed each operation pays one test of a plain flag.
namespace FileFaults {

enum class Op { Open, Size, Seek, Read, Write, Sync, Close };

// The nth (1-based) call of op from now on fails with err; later calls succeed again.
void failNth(Op op, int nth, int err);
void reset();

// Called by FileHandle before each operation: the errno to fail with, or 0.
[[nodiscard]] int check(Op op);

} // namespace FileFaults
