// The window's replace without the window, for the kill test: its command model on a real file.
//
//   replace_driver FILE FIND REPLACE   replaces every match of FIND (an answer of the find prompt) by REPLACE
//   replace_driver FILE                only opens FILE, as the window does, and prints what its open put back

#include "mainwindow/BlockView.h"
#include "mainwindow/ShownBlock.h"
#include "support/Exception.h"

#include <cstdio>

namespace {

// Says nothing and lets nothing run: the driver has no window.
class Quiet : public BlockView {
public:
    std::string path;
    long long putBack = -1;

    void showFile(const std::string& file) override { path = file; }
    void showFileSize(Address) override { }
    std::string currentFile() const override { return path; }
    std::string typedText(std::int32_t, Address) const override { return {}; }
    void showNotice(Notice) override { }
    void showError(const Exception& error) override { std::fprintf(stderr, "%s\n", error.message().c_str()); }
    void showRecovery(const WriteJournal::Recovery& recovery) override { putBack = recovery.bytes; }
    void setBusy(bool) override { }
    void processEvents() override { }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 4)
        return 2;
    Quiet view;
    ShownBlock block(view);
    // The position is kept beside the file, as a program beside it would keep it.
    block.setSettingsFile(std::string(argv[1]) + ".ini");
    try {
        block.open(argv[1]);
        if (argc == 2) {
            std::printf("%lld\n", view.putBack);
            return 0;
        }
        block.setWriting(true);
        if (!block.takeFindAnswer(argv[2]))
            return 2;
        const ShownBlock::Replaced replaced = block.replaceAll(std::string(argv[3]), [] { return false; });
        std::printf("%zu\n", replaced.count);
        return replaced.outcome == ShownBlock::Replaced::Outcome::Replaced ? 0 : 1;
    } catch (const Exception& error) {
        std::fprintf(stderr, "%s\n", error.message().c_str());
        return 3;
    }
}
