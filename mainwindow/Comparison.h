#pragma once

#include "mainwindow/ShownBlock.h"
#include "support/FileCompare.h"

#include <functional>
#include <optional>
#include <string>

// The shown file compared with one other file, byte by byte at the same offsets, over the bytes both have. The other
// file is only read, and held by its identity: once its path leads to another file or none, the comparison ends.
// Nothing of the differences is kept but the other file's bytes of the shown block, which mark its rows; every
// question reads both files again, as a search does.
class Comparison {
public:
    enum class Ended {
        OtherFileChanged, // the other file's path leads to another file or none, or it cannot be read
        ShownFileChanged, // another file is shown
    };
    // marksChanged: the rows' marks changed (a comparison started or ended, a block's marks were read); ended: the
    // comparison ended by itself, heard from inside a command of the block. Neither may throw.
    Comparison(ShownBlock& block, std::function<void()> marksChanged, std::function<void(Ended)> ended);

    [[nodiscard]] bool active() const { return m_other.has_value(); }
    [[nodiscard]] const std::string& otherFile() const { return m_otherPath; }

    enum class Outcome { Done, Stopped, CannotOpen, OtherFileChanged };
    struct Started {
        Outcome outcome = Outcome::Done;
        FileCompare::Counts counts;
        Address ourSize = 0;
        Address theirSize = 0;
    };
    // Compares the shown file with the regular file at path, as a search runs; once done, the comparison goes on
    // until end(). Stopped or failed, nothing is compared.
    [[nodiscard]] Started start(const std::string& path, const std::function<bool()>& stop);
    void end();

    // The byte shown at address differs from the other file's, or the other file has none there.
    [[nodiscard]] bool marked(Address address) const;
    // What the row of a marked byte says of the other file: empty when the bytes agree.
    [[nodiscard]] std::string markOf(Address address) const;

    struct Stepped {
        Outcome outcome = Outcome::Done;
        // The next or previous differing run, none when there is no other.
        std::optional<AddressRange> run;
    };
    // The differing run after or before the current address, round the files once, shown as going to its byte
    // shows it.
    [[nodiscard]] Stepped step(bool forward, const std::function<bool()>& stop);

    // Saves the differences as a patch file at path, whole or not at all. Raises EInOutError when it cannot be
    // written.
    [[nodiscard]] Outcome savePatch(const std::string& path, const std::function<bool()>& stop);

private:
    struct Other {
        FileIdentity identity;
        Address size = 0;
    };
    struct Files {
        FileHandle::Opened ours;
        FileHandle::Opened theirs;
        Outcome outcome = Outcome::Done;
    };
    // Both files opened, the other checked to be the one compared.
    [[nodiscard]] Files open() const;
    void blockChanged(const BlockChange& change);
    // Reads the other file's bytes of the shown block; false when it changed or cannot be read.
    [[nodiscard]] bool readMarks();

    ShownBlock& m_block;
    std::function<void()> m_marksChanged;
    std::function<void(Ended)> m_ended;
    std::string m_ourPath;
    std::string m_otherPath;
    std::optional<Other> m_other;
    // The other file's bytes from m_marksStart on, as far as the shown block reaches.
    Address m_marksStart = 0;
    std::string m_marks;
};
