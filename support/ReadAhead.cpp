#include "support/ReadAhead.h"

#include <algorithm>
#include <new>
#include <system_error>

ReadAhead::ReadAhead(FileHandle& file, std::size_t pieceSize, std::size_t margin)
    : m_file(file)
    , m_pieceSize(pieceSize)
    , m_margin(margin)
    , m_buffer(new (std::align_val_t(64)) char[Ahead * (margin + pieceSize)])
{
}

ReadAhead::~ReadAhead()
{
    stop();
    if (m_thread.joinable()) {
        m_quitting = true;
        wakeAll();
        m_thread.join();
    }
}

bool ReadAhead::start(Address begin, Address end)
{
    stop();
    m_begin = begin;
    m_end = end;
    const auto size = static_cast<std::uint64_t>(end - begin);
    m_pieceCount = size / m_pieceSize + (size % m_pieceSize != 0);
    std::fill(std::begin(m_pieces), std::end(m_pieces), Piece {});
    m_read = 0;
    m_released = 0;
    m_stopping = false;
    m_reading = true;
    if (m_thread.joinable()) {
        wakeAll();
        return true;
    }
    try {
        m_thread = std::thread([this] { work(); });
    } catch (const std::system_error&) {
        m_reading = false;
        return false;
    }
    return true;
}

std::size_t ReadAhead::take(std::uint64_t i)
{
    if (m_read <= i) {
        const std::uint64_t until = std::min(i + Batch, m_pieceCount);
        std::unique_lock lock(m_mutex);
        m_takerSleepsFor = until;
        // A read that fails or falls short ends the range early, at or after piece i.
        m_changed.wait(lock, [&] { return m_read >= until || !m_reading; });
        m_takerSleepsFor = Nobody;
    }
    const Piece& piece = m_pieces[i % Ahead];
    if (piece.error)
        std::rethrow_exception(piece.error);
    return piece.got;
}

void ReadAhead::release(std::uint64_t i)
{
    m_released = i + 1;
    if (i + 1 >= m_readerSleepsFor)
        wakeAll();
}

void ReadAhead::stop() noexcept
{
    if (!m_reading)
        return;
    m_stopping = true;
    wakeAll();
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return !m_reading; });
}

void ReadAhead::work()
{
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_reading || m_quitting; });
        }
        if (m_quitting)
            return;
        readRange();
        m_reading = false;
        wakeAll();
    }
}

void ReadAhead::readRange()
{
    for (std::uint64_t i = 0; i < m_pieceCount; ++i) {
        // Piece i goes where piece i - Ahead was.
        if (i >= Ahead && m_released + Ahead <= i) {
            const std::uint64_t until = i + Batch - Ahead;
            std::unique_lock lock(m_mutex);
            m_readerSleepsFor = until;
            m_changed.wait(lock, [&] { return m_released >= until || m_stopping; });
            m_readerSleepsFor = Nobody;
        }
        if (m_stopping)
            return;
        const Address at = m_begin + static_cast<Address>(i * m_pieceSize);
        const auto wanted = static_cast<std::size_t>(std::min<Address>(static_cast<Address>(m_pieceSize), m_end - at));
        Piece& read = m_pieces[i % Ahead];
        read = {};
        try {
            read.got = m_file.readRange(at, piece(i), wanted);
        } catch (...) {
            read.error = std::current_exception();
        }
        const bool last = read.error || read.got < wanted;
        m_read = i + 1;
        if (i + 1 >= m_takerSleepsFor)
            wakeAll();
        if (last)
            return;
    }
}

void ReadAhead::wakeAll()
{
    {
        const std::lock_guard lock(m_mutex);
    }
    m_changed.notify_all();
}
