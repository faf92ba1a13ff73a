#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// A growing array held in fixed blocks of BLOCK_LENGTH elements. Appending fills the last block
// and adds new ones; nothing held is ever moved or copied, so an append costs what it adds
// however much is held, and Clear() hands every block back. Not locked: it belongs to one thread.
template<typename T, std::size_t BLOCK_LENGTH> class CBlockArray
{
public:
    std::uint64_t Size() const { return m_size; }

    T &operator[](std::uint64_t index)
    {
        return m_blocks[index / BLOCK_LENGTH][index % BLOCK_LENGTH];
    }
    const T &operator[](std::uint64_t index) const
    {
        return m_blocks[index / BLOCK_LENGTH][index % BLOCK_LENGTH];
    }
    T &Back() { return (*this)[m_size - 1]; }

    void PushBack(T value) { Append(&value, 1); }

    void Append(const T *data, std::size_t count)
    {
        while (count > 0) {
            const std::size_t used = m_size % BLOCK_LENGTH;
            if (used == 0)
                m_blocks.push_back(std::make_unique_for_overwrite<T[]>(BLOCK_LENGTH));
            const std::size_t taken = std::min(count, BLOCK_LENGTH - used);
            std::copy_n(data, taken, m_blocks.back().get() + used);
            data += taken;
            count -= taken;
            m_size += taken;
        }
    }

    // Calls visit(const T *, std::size_t) for each contiguous run of the elements from `from` up
    // to `to` (clamped to Size()), in order.
    template<typename Visit>
    void ForEachSpan(std::uint64_t from, std::uint64_t to, Visit &&visit) const
    {
        to = std::min(to, m_size);
        while (from < to) {
            const std::size_t offset = from % BLOCK_LENGTH;
            const std::size_t length = std::min<std::uint64_t>(to - from, BLOCK_LENGTH - offset);
            visit(m_blocks[from / BLOCK_LENGTH].get() + offset, length);
            from += length;
        }
    }

    void Clear()
    {
        std::vector<std::unique_ptr<T[]>>().swap(m_blocks);
        m_size = 0;
    }

private:
    std::vector<std::unique_ptr<T[]>> m_blocks;
    std::uint64_t m_size = 0;
};
