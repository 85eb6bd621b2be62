// The files a folder walk gathered, kept compactly: a million files must not
// cost a million path strings. Each folder is recorded once (its parent and
// its name), each file as where its name is, 8 bytes; the names sit in large
// shared blocks. A walk gives a folder's files one after the other, so the
// folder of each file is kept once per run of files that share it. Full and
// relative paths are made on demand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TGatheredFiles
{
public:
    // The folder the walk starts from: folder 0, spelled as given.
    static constexpr std::uint32_t kRoot = 0;

    TGatheredFiles() { clear(); }
    TGatheredFiles(const TGatheredFiles &) = delete;
    TGatheredFiles &operator=(const TGatheredFiles &) = delete;

    // Forgets every folder and file; the root becomes `root`.
    void clear(const std::string &root = std::string());

    // Records the subfolder `name` of `parent`; gives its number.
    std::uint32_t AddFolder(std::uint32_t parent, std::string_view name);
    // Records the file `name` of `folder`.
    void Add(std::uint32_t folder, std::string_view name);

    std::size_t size() const { return m_files.size(); }
    bool empty() const { return m_files.empty(); }
    std::size_t FolderCount() const { return m_folders.size(); }

    // The file's full path: the root, '/' unless the root ends with one, the
    // folders below it and the name.
    std::string Path(std::size_t index) const;
    // The file's path relative to the root ("a/b.jpg").
    std::string Relative(std::size_t index) const;
    std::uint32_t FolderOf(std::size_t index) const;
    // The file's name; valid as long as the list is.
    const char *NameOf(std::size_t index) const { return NameAt(m_files[index]); }
    // A folder's path relative to the root ("" for the root itself).
    std::string FolderRelative(std::uint32_t folder) const;
    // A folder's full path, spelled as FolderPath(kRoot) begins.
    std::string FolderPath(std::uint32_t folder) const;

    // Every file's full path, in order: for small lists and tests.
    std::vector<std::string> Paths() const;

private:
    // Where a name is: block and offset in it.
    struct TNameRef {
        std::uint32_t block = 0;
        std::uint32_t offset = 0;
    };
    struct TFolder {
        std::uint32_t parent = 0;
        TNameRef name;
    };
    // Files from `first` on, up to the next run's first, are of `folder`.
    struct TRun {
        std::size_t first = 0;
        std::uint32_t folder = 0;
    };

    TNameRef Store(std::string_view name);
    const char *NameAt(TNameRef ref) const { return m_blocks[ref.block].get() + ref.offset; }
    void AppendFolder(std::string &out, std::uint32_t folder) const;

    std::string m_root;
    // Deques grow without moving what they hold: no moment of twice the
    // memory while a vector would reallocate.
    std::deque<TFolder> m_folders;
    std::deque<TNameRef> m_files;
    std::vector<TRun> m_runs;
    // Names, each followed by a NUL, in blocks that are never moved.
    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::size_t m_blockUsed = 0;
};
