#include "app/CompactRecords.h"

#include <algorithm>
#include <cstring>

namespace {

// A million short records take a few dozen blocks.
constexpr std::uint32_t kBlockSize = 1u << 20;

} // namespace

std::uint64_t TRecordBlocks::Append(std::string_view record)
{
    if (m_blocks.empty() || m_blocks.back().size - m_blocks.back().used < record.size()) {
        TBlock block;
        block.size = std::max<std::uint32_t>(kBlockSize, std::uint32_t(record.size()));
        block.bytes = std::make_unique_for_overwrite<char[]>(block.size);
        m_blocks.push_back(std::move(block));
    }
    TBlock &block = m_blocks.back();
    const std::uint64_t position = (std::uint64_t(m_blocks.size() - 1) << 32) | block.used;
    std::memcpy(block.bytes.get() + block.used, record.data(), record.size());
    block.used += std::uint32_t(record.size());
    return position;
}

void TRecordBlocks::Clear()
{
    m_blocks.clear();
    m_blocks.shrink_to_fit();
}

TRecordCursor::TRecordCursor(const TRecordBlocks &blocks, std::uint64_t position)
    : m_blocks(blocks), m_block(std::size_t(position >> 32)), m_offset(std::uint32_t(position))
{
}

bool TRecordCursor::AtEnd()
{
    const auto &blocks = m_blocks.m_blocks;
    while (m_block < blocks.size() && m_offset >= blocks[m_block].used) {
        ++m_block;
        m_offset = 0;
    }
    return m_block >= blocks.size();
}

std::uint64_t TRecordCursor::Number()
{
    const char *bytes = m_blocks.m_blocks[m_block].bytes.get();
    std::uint64_t value = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(bytes[m_offset++]);
        value |= std::uint64_t(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            return value;
    }
}

std::string_view TRecordCursor::Bytes(std::size_t count)
{
    const char *bytes = m_blocks.m_blocks[m_block].bytes.get() + m_offset;
    m_offset += std::uint32_t(count);
    return {bytes, count};
}

void PutNumber(std::string &record, std::uint64_t value)
{
    while (value >= 0x80) {
        record += char(0x80 | (value & 0x7f));
        value >>= 7;
    }
    record += char(value);
}

void PutFrontCoded(std::string &record, std::string &previous, std::string_view text)
{
    const std::size_t most = std::min(previous.size(), text.size());
    std::size_t shared = 0;
    while (shared < most && previous[shared] == text[shared])
        ++shared;
    PutNumber(record, shared);
    PutNumber(record, text.size() - shared);
    record.append(text.substr(shared));
    previous.assign(text);
}

void TakeFrontCoded(TRecordCursor &cursor, std::string &previous)
{
    const std::size_t shared = std::size_t(cursor.Number());
    const std::size_t rest = std::size_t(cursor.Number());
    previous.resize(shared);
    previous.append(cursor.Bytes(rest));
}
