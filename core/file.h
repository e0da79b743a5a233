#pragma once
// Files as the rest of the system sees them: CFile reads and writes byte
// blocks of one platform file and keeps track of its size, CBitmapFile writes
// an uncompressed 24-bit BMP, CFileName splits a path into its pieces.
#include <cstdint>

#include "core/array.h"
#include "core/cstring.h"
#include "core/platform.h"

class CFile {
public:
    // Position value for Read and Write meaning "where the file stands now".
    static constexpr int64_t kCurrentPosition = -1;

    CFile();
    // Deliberately not virtual: files live on the stack of the operation that
    // uses them and are never deleted through a base pointer.
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // 1 on success, 0 on failure (already open, empty path, platform refusal).
    int OpenRead(const CString& path);
    // Create or truncate. Note the other convention: 0 on success, -1 on failure.
    int OpenWrite(const char* path);
    int OpenWrite(const wchar_t* path);
    // Creates a file that does not exist yet, never opening one that does:
    // 0 on success, -1 on failure, with *taken set when a file or folder of
    // that name is in the way (a new name may then be tried).
    int OpenNew(const wchar_t* path, bool* taken);

    // Always 0. Keeps the file name and the mode flags.
    virtual int Close();
    // Bytes read, 0 on any failure; a position other than kCurrentPosition is
    // passed to Seek first. The size is not changed.
    virtual uint32_t Read(void* buffer, uint32_t count, int64_t position);
    // Bytes written, 0 on any failure. Keeps the size as the end of the data
    // written so far; after a positioned write the file stands at its end.
    virtual uint32_t Write(const void* buffer, uint32_t count, int64_t position);
    // Nonzero on success; position counts from the start of the file.
    virtual int Seek(int64_t position);
    // 1 after flushing the platform's buffers, 0 when closed.
    virtual int Flush();
    // 1 when closed or when the current position is at or past the size.
    virtual int IsAtEnd();

    PlatformFile GetHandle() const { return handle_; }
    int IsOpen() const { return handle_ != nullptr; }
    const CString& GetFileName() const { return fileName_; }
    uint64_t GetSize() const { return size_; }
    int GetReadMode() const { return readMode_; }
    int GetWriteMode() const { return writeMode_; }

private:
    // Takes `file`, just opened for writing; -1 when there is none.
    int TakeForWriting(PlatformFile file);

    PlatformFile handle_ = nullptr;
    CString fileName_;
    int32_t readMode_ = 1;
    int32_t writeMode_ = 0;
    uint64_t size_ = 0;
};

class CBitmapFile : public CFile {
public:
    CBitmapFile() {}

    // Writes a 24-bit BMP at the current position of a file opened with
    // OpenWrite. `pixels` holds height rows, top row first, each width * 3
    // bytes in blue, green, red order; byteCount must be width * height * 3.
    // Returns 1 when everything was written, else 0.
    int WriteBitmap(int32_t width, int32_t height, const void* pixels, uint32_t byteCount);

    const uint8_t* GetFileHeader() const { return fileHeader_; }
    const uint8_t* GetInfoHeader() const { return infoHeader_; }

private:
    CArray<uint8_t> pixels_;  // storage only: rows in file order, kept for later calls
    uint8_t fileHeader_[14] = {};
    uint8_t infoHeader_[40] = {};
};

class CFileName : public CObject {
public:
    CFileName() {}
    ~CFileName() override {}

    // Splits the path; returns 1, or 0 for a null path (nothing changes). The
    // text is in the process's ANSI code page, or in `codePage` when given:
    // a trail byte of a double-byte character is never taken for a '\'.
    int SetPath(const char* path);
    int SetPath(const char* path, int codePage);
    // Appends "." and ext unless the path already ends in that extension
    // (ASCII letter case ignored); an extension already there stays in front.
    // Returns 1, or 0 when ext is null or memory ran out (nothing changes).
    int AddExtension(const char* ext);

    const CString& GetFullPath() const { return fullPath_; }
    const CString& GetDirectory() const { return directory_; }
    const CString& GetFileName() const { return fileName_; }
    const CString& GetBaseName() const { return baseName_; }
    const CString& GetExtension() const { return extension_; }
    // Byte indexes into the full path of the first non-blank character of the
    // file name and of the extension; -1 when there is none.
    int GetNameStart() const { return nameStart_; }
    int GetExtensionStart() const { return extensionStart_; }

private:
    void ClearPieces();
    void TakePiece(int start, int count, CString* piece) const;

    CString fullPath_;
    int32_t nameStart_ = -1;
    int32_t extensionStart_ = -1;
    CString directory_;
    CString fileName_;
    CString baseName_;
    CString extension_;
};

// How WriteFileSafely ended.
enum class SafeWrite {
    Written,
    ReadOnly,  // the target is read-only and was left alone
    Failed,    // nothing could be written; the target is as it was
};

// Writes `count` bytes as the new content of the file at `path` without ever
// costing its old content: the bytes go to a temporary file in the same
// folder, created under a name no file has and no longer than the target's
// own, which replaces the target once every byte is on disk and which is
// removed whenever the save fails. The new file keeps the attributes of the
// one it replaces. A read-only target is refused. When no temporary can be
// made in the folder, the target itself is rewritten if that is allowed.
SafeWrite WriteFileSafely(const wchar_t* path, const void* bytes, uint32_t count);

// True when a new file can be made in `folder` (found by making one, which is
// removed again): false for a folder that is missing, is a file, or refuses.
bool FolderAcceptsNewFiles(const wchar_t* folder);

// 1 when `byte` opens a two-byte character in the code page (0: the process's
// ANSI code page). Only the double-byte East Asian code pages have such bytes.
int IsLeadByteOf(int codePage, unsigned char byte);
