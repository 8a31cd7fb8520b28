// Whole-file reading with a size cap, and atomic replacement of small text files: the program's own
// files (pwd.ini, .CNF, MonInter.dat) are written completely or not at all.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace tarn {

enum class ReadStatus { Ok, Missing, TooLarge, Unreadable };

struct FileContent {
    ReadStatus status = ReadStatus::Unreadable;
    std::string text;
};

// What tells whether a file changed since it was read: missing, or its size and modification time.
struct FileStamp {
    bool exists = false;
    long long size = 0;
    long long modifiedNs = 0;
    long long inode = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp fileStamp(const std::string& path);

// Reads the whole file into memory. Files larger than maxBytes are not read (TooLarge).
FileContent readWholeFile(const std::string& path, std::size_t maxBytes);

// When a written file is on disk. Now: before the write returns. Later: a run of many new files (a
// backup of a whole site) is flushed at once with flushFileSystem, before what lists them is written.
enum class Flush { Now, Later };

// Where a write failed: the file could not be made or put in place (Open: a folder that cannot be
// written, a path that is a folder), or its bytes could not be written (Write: a full disk, a size limit).
enum class WriteFault { None, Open, Write };

// Writes content to a temporary file in the same folder, flushes it to disk and renames it over
// path, so that a reader sees either the old file or the new one, never a half-written one.
// The file gets `mode`: its owner bits exactly, its group and other bits as far as the umask allows.
// On failure path is untouched, error (if given) says why and fault (if given) where.
bool writeFileAtomically(const std::string& path, std::string_view content, mode_t mode, std::string* error = nullptr,
                         Flush flush = Flush::Now, WriteFault* fault = nullptr);
// The same for a content made piece by piece, too large to hold whole beside what it is made from (the
// pwd.ini of a large site): `write` hands every piece to the sink it is given, in order; the sink
// answers false once the file could not take a piece, and then takes no more.
using PieceSink = std::function<bool(std::string_view piece)>;
bool writeFileAtomically(const std::string& path, const std::function<void(const PieceSink& sink)>& write, mode_t mode,
                         std::string* error = nullptr, Flush flush = Flush::Now, WriteFault* fault = nullptr);

// Makes `path` and every missing folder above it, each readable by its owner only (0700) whatever the
// umask; folders that exist already are left as they are. False (errno set) when one cannot be made.
bool makeOwnerOnlyFolders(const std::string& path);

// Puts everything written to the file system that holds `folder` on disk (the files written with
// Flush::Later). False when it cannot.
bool flushFileSystem(const std::string& folder);

}  // namespace tarn
