// Small records kept in large blocks of bytes, for what a run holds a
// million of (its log lines, its report rows): a store grows a block at a
// time and never copies what it holds, a record lies whole in one block,
// and numbers take a byte or two each. Texts are front-coded by those who
// store them: the bytes a text shares with the one before are not stored
// again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TRecordBlocks
{
public:
    // Stores `record` after the others; returns where it begins.
    std::uint64_t Append(std::string_view record);
    void Clear();

private:
    friend class TRecordCursor;
    struct TBlock {
        std::unique_ptr<char[]> bytes;
        std::uint32_t size = 0, used = 0;
    };
    std::vector<TBlock> m_blocks;
};

// Reads records in order from a position Append returned.
class TRecordCursor
{
public:
    TRecordCursor(const TRecordBlocks &blocks, std::uint64_t position);
    // True when every record has been read; else the cursor is at the next
    // record's first byte.
    bool AtEnd();
    std::uint64_t Number();
    std::string_view Bytes(std::size_t count);

private:
    const TRecordBlocks &m_blocks;
    std::size_t m_block;
    std::uint32_t m_offset;
};

// Writing a record: a number in one to ten bytes (seven bits a byte, small
// first), and a text front-coded against `previous` (the length it shares
// with it, the length of the rest, the rest), which then becomes `text`.
void PutNumber(std::string &record, std::uint64_t value);
void PutFrontCoded(std::string &record, std::string &previous, std::string_view text);
// Reading it back: `previous` becomes the text.
void TakeFrontCoded(TRecordCursor &cursor, std::string &previous);
