#pragma once

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

struct inflate_state;

namespace korvel {

// The rows of a zlib stream given in pieces (a PNG's image data chunks),
// inflated on a thread of its own a few rows ahead of the reader, into a ring
// that holds a few dozen rows: the whole inflated image is never in memory.
// Where no thread can be started, rows are inflated when asked for.
class InflatedRows
{
public:
    struct Piece
    {
        const unsigned char *data;
        size_t size;
    };

    // `rows` rows of `rowSize` bytes each.
    InflatedRows(std::vector<Piece> pieces, size_t rowSize, int rows);
    ~InflatedRows();
    InflatedRows(const InflatedRows &) = delete;
    InflatedRows &operator=(const InflatedRows &) = delete;

    // Row `y` once inflated, which the reader may change in place; nullptr
    // when the stream ends or is damaged before it. Rows are asked for in
    // increasing order; the row before `y` stays where it is until the next
    // call, the ones before it do not.
    unsigned char *row(int y);
    // Whether the stream ends, its checksum right, just after the last row.
    // Inflates whatever was not asked for yet.
    bool complete();

private:
    // Inflates the next batch of rows into the ring, waiting for room first;
    // false when the stream fails or ends before the batch is whole.
    bool inflateBatch();
    bool inflateInto(unsigned char *out, size_t size);
    void produce();

    std::vector<Piece> m_pieces;
    size_t m_nextPiece = 0;
    const size_t m_rowSize;
    const int m_rows;
    std::unique_ptr<inflate_state> m_state;
    std::vector<unsigned char> m_ring;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    // Rows inflated, the first row the reader still needs, whether the
    // inflating is over (the stream done or failed), whether the reader gave up.
    int m_ready = 0;
    int m_kept = 0;
    bool m_over = false;
    bool m_ended = false; // the stream ended, checked, after the last row
    bool m_stopped = false;
    std::thread m_thread;
};

} // namespace korvel
