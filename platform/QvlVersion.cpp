#include "platform/QvlVersion.h"

#include "platform/QvlVersionBlock.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <elf.h>
#include <optional>
#include <strings.h>
#include <vector>

namespace {

std::string &ProgramFileOverride()
{
    static std::string path;
    return path;
}

struct TSectionSpan {
    quint64 offset = 0;
    quint64 size = 0;
};

template <typename T>
bool ReadAt(QFile &file, quint64 offset, T &out)
{
    return file.seek(qint64(offset)) && file.read(reinterpret_cast<char *>(&out), sizeof out) == qint64(sizeof out);
}

// Finds the version section through the section headers of a 64-bit ELF file.
// The section's contents are checked for the magic so that a stray section of
// the same name from another program is not taken for ours.
std::optional<TSectionSpan> FindVersionSection(const std::string &path, int &error)
{
    QFile file(QFile::decodeName(QByteArray::fromStdString(path)));
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.exists() ? EACCES : ENOENT;
        return std::nullopt;
    }
    Elf64_Ehdr eh{};
    if (!ReadAt(file, 0, eh) || std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0
        || eh.e_ident[EI_CLASS] != ELFCLASS64 || eh.e_shentsize != sizeof(Elf64_Shdr)
        || eh.e_shstrndx == SHN_UNDEF || eh.e_shstrndx >= eh.e_shnum) {
        error = ENOEXEC;
        return std::nullopt;
    }
    Elf64_Shdr names{};
    if (!ReadAt(file, eh.e_shoff + quint64(eh.e_shstrndx) * sizeof(Elf64_Shdr), names)) {
        error = ENOEXEC;
        return std::nullopt;
    }
    const qint64 fileSize = file.size();
    for (unsigned i = 0; i < eh.e_shnum; ++i) {
        Elf64_Shdr sh{};
        if (!ReadAt(file, eh.e_shoff + quint64(i) * sizeof(Elf64_Shdr), sh))
            break;
        char name[sizeof kVersionSectionName] = {};
        if (sh.sh_name >= names.sh_size || !file.seek(qint64(names.sh_offset + sh.sh_name))
            || file.read(name, sizeof name) != qint64(sizeof name)
            || std::memcmp(name, kVersionSectionName, sizeof name) != 0)
            continue;
        char magic[sizeof kVersionMagic] = {};
        if (sh.sh_type == SHT_NOBITS || sh.sh_size < sizeof(TVersionFixedInfo)
            || sh.sh_size > 0xFFFFFF || qint64(sh.sh_offset + sh.sh_size) > fileSize
            || !ReadAt(file, sh.sh_offset, magic) || std::memcmp(magic, kVersionMagic, sizeof magic) != 0)
            continue;
        return TSectionSpan{sh.sh_offset, sh.sh_size};
    }
    error = ENODATA;
    return std::nullopt;
}

bool EqualNoCase(const char *a, const std::string &b)
{
    return ::strcasecmp(a, b.c_str()) == 0;
}

} // namespace

std::uint32_t GetFileVersionInfoSize(const std::string &path, int &error)
{
    const auto span = FindVersionSection(path, error);
    return span ? std::uint32_t(span->size) : 0;
}

bool GetFileVersionInfo(const std::string &path, std::uint32_t size, void *buffer, int &error)
{
    const auto span = FindVersionSection(path, error);
    if (!span)
        return false;
    QFile file(QFile::decodeName(QByteArray::fromStdString(path)));
    const qint64 wanted = qint64(std::min<quint64>(size, span->size));
    if (!file.open(QIODevice::ReadOnly) || !file.seek(qint64(span->offset))
        || file.read(static_cast<char *>(buffer), wanted) != wanted) {
        error = EIO;
        return false;
    }
    return true;
}

bool VerQueryValue(const void *block, std::uint32_t size, const std::string &subBlock,
                   std::string &value)
{
    static const std::string prefix = "\\StringFileInfo\\";
    if (size <= sizeof(TVersionFixedInfo) || subBlock.compare(0, prefix.size(), prefix) != 0)
        return false;
    const std::string rest = subBlock.substr(prefix.size());
    const auto slash = rest.find('\\');
    if (slash == std::string::npos)
        return false;
    const std::string table = rest.substr(0, slash);
    const std::string key = rest.substr(slash + 1);

    // Every string of the table ends in a NUL inside the block; a block cut
    // short ends the walk instead of reading past it.
    const char *p = static_cast<const char *>(block) + sizeof(TVersionFixedInfo);
    const char *end = static_cast<const char *>(block) + size;
    auto next = [&](const char *&s) -> bool {
        s = p;
        const void *nul = std::memchr(p, '\0', std::size_t(end - p));
        if (!nul)
            return false;
        p = static_cast<const char *>(nul) + 1;
        return true;
    };
    const char *tableName = nullptr;
    if (p >= end || !next(tableName) || !EqualNoCase(tableName, table))
        return false;
    while (p < end) {
        const char *k = nullptr;
        const char *v = nullptr;
        if (!next(k) || *k == '\0' || p >= end || !next(v))
            return false;
        if (EqualNoCase(k, key)) {
            value = v;
            return true;
        }
    }
    return false;
}

std::string VersionProgramFile()
{
    const std::string &path = ProgramFileOverride();
    return path.empty() ? std::string("/proc/self/exe") : path;
}

void SetVersionProgramFile(const std::string &path)
{
    ProgramFileOverride() = path;
}

std::string ProgramFileVersion()
{
    const std::string file = VersionProgramFile();
    int error = 0;
    const std::uint32_t size = GetFileVersionInfoSize(file, error);
    std::vector<char> block(size);
    std::string version;
    if (size == 0 || !GetFileVersionInfo(file, size, block.data(), error) ||
        !VerQueryValue(block.data(), size, "\\StringFileInfo\\040904E4\\FileVersion", version))
        return {};
    return version;
}
