#pragma once

#include "support/Address.h"
#include "support/FileHandle.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

// Reads a range of a file piece by piece on a thread of its own, ahead of the one who takes the pieces, so that
// reading from the page cache and looking through what was read run on two cores at once. Pieces go to a ring of
// buffers; each has a margin before it that the reading never touches, where the taker may keep bytes of the piece
// before. At most Ahead pieces are read that the taker does not take, when it stops.
//
// Either side sleeps only until the other is several pieces further, not one: a wake-up costs each side a few
// microseconds, and on a machine whose other core is busy the two take turns on one core without a switch at
// every piece.
//
// One taker, on one thread; the file is read only by this object's thread while a range is being read.
class ReadAhead {
public:
    static constexpr std::size_t Ahead = 8; // buffers in the ring
    static constexpr std::size_t Batch = 4; // pieces either side waits for when it sleeps

    ReadAhead(FileHandle& file, std::size_t pieceSize, std::size_t margin);
    // Waits for a read under way.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Where piece i of a range goes (its margin just before it); also a buffer of the taker's own while no range is
    // being read.
    [[nodiscard]] char* piece(std::uint64_t i) const
    {
        return m_buffer.get() + (i % Ahead) * (m_margin + m_pieceSize) + m_margin;
    }

    // Starts reading [begin, end), begin included in piece 0. A range being read is stopped first. False when the
    // system gives no thread: the taker reads the range itself.
    [[nodiscard]] bool start(Address begin, Address end);
    // Waits for piece i (from 0, in order) and tells how many bytes it holds: fewer than asked where the file ended,
    // and then there is no piece after it. Raises what its read raised, where the taker asks for it.
    [[nodiscard]] std::size_t take(std::uint64_t i);
    // The taker is done with piece i and its margin: its buffer may take piece i + Ahead.
    void release(std::uint64_t i);
    // Stops reading the range: waits for a read under way and forgets what it got or raised.
    void stop() noexcept;

private:
    struct Piece {
        std::size_t got = 0;
        std::exception_ptr error;
    };

    void work();
    void readRange();
    void wakeAll();

    FileHandle& m_file;
    std::size_t m_pieceSize;
    std::size_t m_margin;
    struct AlignedDelete {
        void operator()(char* p) const { ::operator delete[](p, std::align_val_t(64)); }
    };
    std::unique_ptr<char[], AlignedDelete> m_buffer;

    // Set by the taker while the thread waits for a range; then the thread's until it has read it.
    Address m_begin = 0;
    Address m_end = 0;
    std::uint64_t m_pieceCount = 0;
    Piece m_pieces[Ahead];
    // Each side stores a count, then looks whether the other sleeps until that count; a sleeper stores the count
    // it sleeps for, then looks at the count. All in the one order of these atomics: either the sleeper sees the
    // count or the one who raised it sees the sleeper and wakes it, under the mutex, so that the wake-up cannot come
    // between the sleeper's look and its sleep.
    static constexpr std::uint64_t Nobody = UINT64_MAX;
    std::atomic<std::uint64_t> m_read { 0 }; // pieces read, the last one perhaps failed
    std::atomic<std::uint64_t> m_released { 0 };
    std::atomic<std::uint64_t> m_takerSleepsFor { Nobody }; // a count of m_read
    std::atomic<std::uint64_t> m_readerSleepsFor { Nobody }; // a count of m_released
    std::atomic<bool> m_reading { false }; // a range is being read: the thread's until it clears it
    std::atomic<bool> m_stopping { false };
    std::atomic<bool> m_quitting { false };
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::thread m_thread; // started with the first range
};
