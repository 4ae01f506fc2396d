#pragma once

#include <cstdint>
#include <string>

// The writes that kill_driver makes, one numbered step after another, and that tst_KillAtAnyInstant replays
// in its model. Both sides compute step n from n alone, so a driver started at any step continues the plan.
//
// The folder holds:
//   renamed/Quillmoor.ini  settings in a folder the driver may write: replaced by rename
//   inplace/Quillmoor.ini  settings in a folder it may not: rewritten in place
//   patch.bin              PatchSize bytes that the checked write patches, a byte at a time
//   progress               the step the driver has begun, as a 64-bit number that it updates through a shared
//                          mapping, so its value survives the driver's kill (-1: none begun)
namespace KillPlan {

constexpr std::int32_t PatchSize = 4096;
constexpr const char* Section = "File";

enum class Target { Renamed, InPlace, Patch };

struct Step {
    Target target;
    // Settings steps: the key and its text; isInt when it goes through SettingsWriteInt.
    std::string key;
    std::string text;
    bool isInt = false;
    std::int32_t number = 0;
    // Patch steps.
    std::int32_t offset = 0;
    std::uint8_t byte = 0;
};

inline Step step(std::int64_t n)
{
    const auto target = static_cast<Target>(n % 3);
    const std::int64_t round = n / 3;
    if (target == Target::Patch) {
        const auto offset = static_cast<std::int32_t>((round * 2654435761LL) % PatchSize);
        return { target, {}, {}, false, 0, offset, static_cast<std::uint8_t>(round * 37 + 1) };
    }
    // Values alternate between keys, and lengths grow and shrink, so an in-place rewrite makes the file both
    // longer and shorter.
    if (round % 2 == 0) {
        const std::size_t lengths[] = { 0, 3, 700, 9, 1500, 60 };
        const std::size_t length = lengths[(round / 2) % std::size(lengths)];
        std::string text(length, static_cast<char>('a' + round % 26));
        if (length > 1)
            text[length / 2] = '/';
        return { target, "NameFile", text };
    }
    const std::int32_t numbers[] = { 0, 8192, -5, 2147483647, static_cast<std::int32_t>(round % 100000), INT32_MIN };
    const std::int32_t number = numbers[(round / 2) % std::size(numbers)];
    return { target, "StartByte", std::to_string(number), true, number };
}

} // namespace KillPlan
