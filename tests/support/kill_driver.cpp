// Makes the writes of KillPlan, step after step, until it is killed.
//
//   kill_driver FOLDER FIRST-STEP [UID]
//
// With UID (when started as root) it first becomes that user, so that a folder it may not write is really
// closed to it: root ignores file modes.

#include "support/Exception.h"
#include "support/FileHandle.h"
#include "support/StrHF.h"
#include "support/__Files.h"
#include "tests/support/KillPlan.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <sys/mman.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    const std::string folder = argv[1];
    std::int64_t n = std::strtoll(argv[2], nullptr, 10);
    if (argc > 3) {
        const auto uid = static_cast<uid_t>(std::strtoul(argv[3], nullptr, 10));
        if (::setgroups(0, nullptr) != 0 || ::setresgid(uid, uid, uid) != 0 || ::setresuid(uid, uid, uid) != 0)
            return 3;
    }
    const int fd = ::open((folder + "/progress").c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return 4;
    void* mapped = ::mmap(nullptr, sizeof(std::int64_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (mapped == MAP_FAILED)
        return 5;
    auto* progress = static_cast<std::atomic<std::int64_t>*>(mapped);

    const std::string renamed = folder + "/renamed/Quillmoor.ini";
    const std::string inPlace = folder + "/inplace/Quillmoor.ini";
    const std::string patch = folder + "/patch.bin";
    for (;; ++n) {
        const KillPlan::Step step = KillPlan::step(n);
        progress->store(n);
        try {
            if (step.target == KillPlan::Target::Patch) {
                // As a commit writes: over the byte last seen there.
                FileHandle seen = FileHandle::open(patch, FileHandle::Mode::Read);
                char before = 0;
                if (seen.readRange(step.offset, &before, 1) != 1)
                    return 6;
                const CheckedWrite done
                    = WriteByteAt(patch, seen.identity(), step.offset, static_cast<std::uint8_t>(before), step.byte);
                if (done.outcome != CheckedWrite::Outcome::Written)
                    return 6;
                continue;
            }
            const std::string& path = step.target == KillPlan::Target::Renamed ? renamed : inPlace;
            if (step.isInt)
                SettingsWriteInt(path, KillPlan::Section, step.key, step.number);
            else
                SettingsWriteString(path, KillPlan::Section, step.key, step.text);
        } catch (const Exception& error) {
            std::fprintf(stderr, "step %lld: %s\n", static_cast<long long>(n), error.message().c_str());
            return 7;
        }
    }
}
