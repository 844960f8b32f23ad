#include "InflatedRows.h"

#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <system_error>

namespace korvel {

namespace {

// Rows are inflated this many at a time, into a ring of this many batches:
// a megabyte or two for a wide picture, which stays in the caches.
constexpr int Batch = 16;
constexpr int Capacity = 4 * Batch;

} // namespace

InflatedRows::InflatedRows(std::vector<Piece> pieces, size_t rowSize, int rows)
    : m_pieces(std::move(pieces)), m_rowSize(rowSize), m_rows(rows),
      m_state(std::make_unique<inflate_state>()), m_ring(rowSize * size_t(std::min(rows, Capacity)))
{
    isal_inflate_init(m_state.get());
    m_state->crc_flag = ISAL_ZLIB;
    // With a second core the stream is inflated while the rows before are used.
    if (std::thread::hardware_concurrency() < 2)
        return;
    try {
        m_thread = std::thread([this] {
            while (inflateBatch()) {
            }
        });
    } catch (const std::system_error &) {
    }
}

InflatedRows::~InflatedRows()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopped = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

unsigned char *InflatedRows::row(int y)
{
    if (y < 0 || y >= m_rows)
        return nullptr;
    std::unique_lock<std::mutex> lock(m_mutex);
    m_kept = std::max(0, y - 1);
    if (m_thread.joinable()) {
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_ready > y || m_over; });
    } else {
        lock.unlock();
        while (m_ready <= y && inflateBatch()) {
        }
        lock.lock();
    }
    return m_ready > y ? m_ring.data() + size_t(y % Capacity) * m_rowSize : nullptr;
}

bool InflatedRows::complete()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_kept = m_rows;
    if (m_thread.joinable()) {
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_over; });
    } else {
        lock.unlock();
        while (inflateBatch()) {
        }
        lock.lock();
    }
    return m_ended;
}

bool InflatedRows::inflateBatch()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const int first = m_ready;
    const int count = std::min(Batch, m_rows - first);
    m_changed.wait(lock, [&] { return m_stopped || m_over || first + count - m_kept <= Capacity; });
    if (m_stopped || m_over)
        return false;
    lock.unlock();

    bool inflated = false;
    bool ended = false;
    if (count > 0) {
        inflated = inflateInto(m_ring.data() + size_t(first % Capacity) * m_rowSize,
                               size_t(count) * m_rowSize);
    } else {
        // After the last row nothing more comes out, and the stream ends there.
        unsigned char beyond = 0;
        ended = !inflateInto(&beyond, 1) && m_state->block_state == ISAL_BLOCK_FINISH &&
                m_state->avail_out == 1;
    }
    lock.lock();
    if (inflated)
        m_ready = first + count;
    else
        m_over = true;
    m_ended = ended;
    lock.unlock();
    m_changed.notify_all();
    return inflated;
}

bool InflatedRows::inflateInto(unsigned char *out, size_t size)
{
    inflate_state &state = *m_state;
    state.next_out = out;
    state.avail_out = uint32_t(size);
    while (state.avail_out > 0 && state.block_state != ISAL_BLOCK_FINISH) {
        while (state.avail_in == 0 && m_nextPiece < m_pieces.size()) {
            const Piece &piece = m_pieces[m_nextPiece++];
            state.next_in = const_cast<unsigned char *>(piece.data);
            state.avail_in = uint32_t(piece.size);
        }
        const uint32_t in = state.avail_in, room = state.avail_out;
        const int status = isal_inflate(&state);
        // A damaged stream, one that needs a dictionary, or one cut short.
        if (status < 0 || status == ISAL_NEED_DICT ||
            (state.avail_in == in && state.avail_out == room &&
             state.block_state != ISAL_BLOCK_FINISH))
            return false;
    }
    return state.avail_out == 0;
}

} // namespace korvel
